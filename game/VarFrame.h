#pragma once

#include <d3dx9math.h>

#include <boost/shared_ptr.hpp>
#include <string>
#include <vector>

#include "engine/Singleton.h"

class CMesh;
class CTextureEntry;
class CVertexShader;
class CVertexDeclaration;
struct lua_State;

namespace varframe {

// One piece of the segmented frame; the frame script builds and moves them.
class CSegment {
public:
    CSegment();

    // Each call appends a step that acts after the ones before it.
    void StartTransform();
    void ScaleBy(float x, float y, float z);
    void MoveBy(float x, float y, float z);
    void RotateByX(float angle);
    void RotateByY(float angle);
    void RotateByZ(float angle);
    // Through the field matrix into world space, and the matrices the draw needs.
    void EndTransform();

    D3DXMATRIX transform;
    D3DXMATRIX clipMatrix;
    D3DXMATRIX worldViewIT;
    D3DXMATRIX worldViewT;
    D3DXMATRIX inverseWorld;
    D3DXVECTOR3 scale;
    D3DXCOLOR ambientColor;
    D3DXCOLOR diffuseColor;
    D3DXCOLOR specularColor;
    D3DXVECTOR3 position;
    D3DXVECTOR3 positionOffset;
    D3DXVECTOR3 rotate;
    D3DXVECTOR3 rotateOffset;
    int index;
    // The cell it stands on; -1 for a segment the script made itself.
    int column;
    int row;
};

typedef boost::shared_ptr<CSegment> SegmentPtr;

}  // namespace varframe

// The lit border around the field: one solid mesh or a segment per frame
// cell of the shape, shaped by the frame script.
class CVarFrame : public CSingleton<CVarFrame> {
public:
    static CVarFrame* GetInstance();
    CVarFrame();
    ~CVarFrame() override;

    void LoadMesh(const std::string& mesh0, const std::string& mesh1, const std::string& mesh2,
                  const std::string& texture);
    varframe::SegmentPtr CreateSegment();
    void NewGame();
    void UpdateTransforms();
    void UpdateSegment(varframe::CSegment& segment);
    void Render();
    void CallFrameInit();

    CMesh* segmentMeshes[3];
    CMesh* frameMesh;
    D3DXMATRIX solidClipMatrix;
    D3DXMATRIX solidWorldViewIT;
    D3DXMATRIX solidWorldViewT;
    D3DXMATRIX solidInverseWorld;
    D3DXVECTOR3 segmentSize;
    D3DXVECTOR3 segmentRotation;
    D3DXCOLOR segmentedAmbient, segmentedDiffuse, segmentedSpecular;
    D3DXCOLOR solidAmbient, solidDiffuse, solidSpecular;
    CTextureEntry* texture;
    lua_State* luaState;
    // Shared with the script, which may keep a segment past the next game.
    std::vector<varframe::SegmentPtr> segments;
    CVertexShader* vertexShader;
    CVertexDeclaration* vertexDeclaration;

private:
    bool m_scriptRan;  // a script that failed to load has been reported once; its hooks are not called
    bool OpenScript();
    void CallHook(const char* name);
};

// The matrices the draw reads, from a world matrix.
void FrameDrawMatrices(const D3DXMATRIX& world, D3DXMATRIX* clip, D3DXMATRIX* worldViewIT, D3DXMATRIX* worldViewT,
                       D3DXMATRIX* inverseWorld);
