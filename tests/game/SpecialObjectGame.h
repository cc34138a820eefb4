// A line game on the shipped classic field whose current object is the one
// a request flag asks for, made current at once.
#pragma once

#include <algorithm>
#include <functional>
#include <memory>
#include <string>

#include "audio/SoundTestView.h"
#include "support/HeadlessGame.h"

template <class Object>
class SpecialObjectGame : public ::testing::Test {
protected:
    void SetUp() override {
        m_game.reset(new headless::Game());
        m_game->Boot();
        m_game->NewGame(kLineGame, 1, 0, 7);
        m_generator = CFigureGenerator::GetInstance();
    }
    void TearDown() override { m_game.reset(); }

    // Raise the request, then let the falling figure go so the object comes in.
    // The figure step runs on its own: a whole step would also run the tick's
    // remainder, in which a short-lived object can end before it is seen.
    Object* Bring(bool CFigureGenerator::*flag) {
        m_generator->*flag = true;
        m_generator->Process();
        EXPECT_TRUE(dynamic_cast<Object*>(m_generator->next));
        delete m_generator->current;
        m_generator->current = nullptr;
        m_sounds.Clear();
        m_generator->Process();
        m_object = dynamic_cast<Object*>(m_generator->current);
        EXPECT_TRUE(m_object);
        return m_object;
    }
    // Steps until the condition holds: the number of steps, or -1.
    int StepUntil(const std::function<bool()>& done, int limit = 2000) {
        for (int i = 1; i <= limit; ++i) {
            m_game->Step();
            if (done()) return i;
        }
        return -1;
    }
    bool Gone() const { return m_generator->current != m_object; }
    int Count(CSoundTestView::Kind kind, const std::string& name) const {
        const auto& calls = m_sounds.Calls();
        return static_cast<int>(std::count_if(calls.begin(), calls.end(), [&](const CSoundTestView::Call& c) {
            return c.kind == kind && c.name == name;
        }));
    }
    template <class System>
    int Systems() const {
        const auto& list = CParticleSystemsManager::GetInstance()->GetSystems();
        return static_cast<int>(
            std::count_if(list.begin(), list.end(), [](CParticleSystem* s) { return dynamic_cast<System*>(s); }));
    }
    // Fills rows from..H-1 of the playing area, leaving column 1 open so no
    // line completes, and the columns the predicate spares.
    void Fill(int from, const std::function<bool(int, int)>& spare = nullptr) {
        CGameField* f = CGameField::GetInstance();
        for (int y = from; y < f->m_height; ++y)
            for (int x = 2; x < f->m_width - 1; ++x)
                if (!spare || !spare(x, y)) f->Cell(x, y).m_value = 2;
    }
    int Blocks() const { return headless::CountCells(&CFieldBlock::IsBlock); }

    CSoundTestView m_sounds;
    std::unique_ptr<headless::Game> m_game;
    CFigureGenerator* m_generator = nullptr;
    Object* m_object = nullptr;
};
