#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/d3d9/FixedFunction.h"
#include "platform/d3d9/RenderStates.h"
#include "platform/d3d9/VertexDeclaration.h"

namespace {

using namespace d3d9;

// The device regenerates its fixed-function shaders only for states the table
// marks as part of the key, so a state the key reads must be marked, and a
// state marked must be read.
TEST(D3D9RenderStateTable, KeyStatesAreExactlyThoseTheShaderKeysRead) {
    std::vector<D3DVERTEXELEMENT9> elements;
    UINT stride = 0;
    ASSERT_TRUE(DeclarationFromFvf(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_DIFFUSE | D3DFVF_SPECULAR | D3DFVF_TEX1,
                                   &elements, &stride));
    CVertexDeclaration* declaration = new CVertexDeclaration(nullptr, elements, 0);
    const uint8_t textures[kStages] = {1};

    DeviceState base;
    SetDefaultState(base, 64, 64);
    base.renderStates[D3DRS_ALPHATESTENABLE] = TRUE;  // so the alpha function counts
    base.renderStates[D3DRS_ALPHAFUNC] = D3DCMP_GREATER;

    size_t count = 0;
    const RenderStateInfo* table = RenderStateTable(&count);
    for (size_t i = 0; i < count; ++i) {
        const RenderStateInfo& row = table[i];
        bool changesKey = false;
        for (DWORD value : {0u, 1u, 2u, 3u, 5u}) {
            DeviceState s = base;
            s.renderStates[row.state] = value;
            const FFPixelKey p0 = MakePixelKey(base, textures), p1 = MakePixelKey(s, textures);
            const FFVertexKey v0 = MakeVertexKey(base, *declaration), v1 = MakeVertexKey(s, *declaration);
            changesKey = changesKey || memcmp(&p0, &p1, sizeof p0) != 0 || memcmp(&v0, &v1, sizeof v0) != 0;
        }
        EXPECT_EQ(changesKey, row.apply == GlApply::ShaderKey) << row.name;
    }
    declaration->Release();
}

TEST(D3D9RenderStateTable, RowsAreInOrderNamedAndFoundByNumber) {
    size_t count = 0;
    const RenderStateInfo* table = RenderStateTable(&count);
    ASSERT_GT(count, 100u);
    for (size_t i = 0; i < count; ++i) {
        if (i > 0) {
            EXPECT_LT(table[i - 1].state, table[i].state) << table[i].name;
        }
        EXPECT_EQ(FindRenderState(table[i].state), &table[i]);
        EXPECT_EQ(strncmp(table[i].name, "D3DRS_", 6), 0);
        EXPECT_EQ(table[i].apply == GlApply::Unsupported, table[i].warning != nullptr) << table[i].name;
    }
    EXPECT_EQ(FindRenderState(1), nullptr);
    EXPECT_EQ(FindRenderState(D3D9_RENDERSTATE_COUNT), nullptr);
}

}  // namespace
