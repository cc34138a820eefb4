// Every falling figure starts two columns left of the field's middle (rounded
// down), in its kind's first row, and is no longer a preview.
#include <memory>
#include <ostream>

#include "FigureTestEnv.h"
#include "game/BlockFigure.h"
#include "game/ColorFigure.h"
#include "game/SpecialBlockFigure.h"

namespace {

struct StartCase {
    const char* name;
    CBaseFigure* (*make)();
    int width;
    float x, y;
};

std::ostream& operator<<(std::ostream& out, const StartCase& c) { return out << c.name; }

CBaseFigure* MakeBlock() { return new CBlockFigure; }
CBaseFigure* MakeSpecial() { return new CSpecialBlockFigure; }
CBaseFigure* MakeColor() { return new CColorFigure(false); }

const StartCase kStartCases[] = {
    {"Block10", MakeBlock, 10, 3.0f, 1.0f},     {"Block9", MakeBlock, 9, 2.0f, 1.0f},
    {"Special10", MakeSpecial, 10, 3.0f, 0.0f}, {"Special9", MakeSpecial, 9, 2.0f, 0.0f},
    {"Color10", MakeColor, 10, 3.0f, 1.0f},     {"Color9", MakeColor, 9, 2.0f, 1.0f},
};

class FigureStartTest : public figuretest::FigureTest, public testing::WithParamInterface<StartCase> {};

TEST_P(FigureStartTest, StartPlacesTheFigureByTheFieldWidth) {
    const StartCase& c = GetParam();
    Field(c.width, 20);
    std::unique_ptr<CBaseFigure> f(c.make());
    f->Init();
    EXPECT_TRUE(f->preview);
    EXPECT_TRUE(f->Start());
    EXPECT_FALSE(f->preview);
    EXPECT_FLOAT_EQ(f->x, c.x);
    EXPECT_FLOAT_EQ(f->y, c.y);
}

INSTANTIATE_TEST_SUITE_P(Kinds, FigureStartTest, testing::ValuesIn(kStartCases));

}  // namespace
