#pragma once

#include <vector>

class CBlockPartPiece;

// The fragment of one knocked-out block: a burst of pieces.
class CBlockPart {
public:
    static const int kPieces = 10;

    // A fragment of the block in field cell (x, y), which must still hold it;
    // hands itself to the fragment manager.
    CBlockPart(int x, int y);
    // An empty fragment, filled by Init; nobody owns it yet.
    CBlockPart();
    ~CBlockPart();
    CBlockPart(const CBlockPart&) = delete;
    CBlockPart& operator=(const CBlockPart&) = delete;

    void Init(float x, float y, float z, float spreadX, float spreadY, float r, float g, float b, float a,
              int count);
    // False once no piece is left.
    bool Update();

    std::vector<CBlockPartPiece*> pieces;
};
