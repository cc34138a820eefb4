#pragma once

#include <boost/multi_array.hpp>

#include "game/GameField.h"

// The field's clearing, falling and scoring rules as plain code over the
// grid, kept apart from the field's drawing and its singletons so they run
// on a bare grid. The field calls them; the HUD and the generator take the
// results.
namespace fieldrules {

typedef boost::multi_array<CFieldBlock, 2> Grid;  // [row][column]

// No block is still falling.
bool Settled(const Grid& grid, int width, int height);
// A block is falling or marked for removal.
bool HasMarkedBlocks(const Grid& grid, int width, int height);

// Marks every full line of the line game: a row's playing cells between two
// wall cells, all holding unmarked blocks. Returns the lines marked.
int MarkFullLines(Grid& grid, int width, int height);
// Marks the blocks of every run of three or more of one colour (down, across
// and both diagonals) among blocks at rest and unmarked. Returns the blocks
// marked.
int MarkColorRuns(Grid& grid, int width, int height);

// One step of falling: blocks with rows to fall move down by distance; a
// block that passes a row spacing takes the cell below when it is empty and
// stops on anything at rest.
void FallStep(Grid& grid, int width, int height, float distance, float rowSpacing);

// The rule's score for a number of lines cleared at once (five or more count as five).
int LineScore(int lines);
// Points for the blocks one colour pass marks, all its runs together.
int ColorRunScore(int marked);
// The extra points of the chain-th colour pass in a row.
int ChainBonus(int chain);

}  // namespace fieldrules
