#pragma once

// Grid places of the wall's layouts. Codes: 1 single cell, 2 four, 3 eight,
// 4 nine, 5 twelve; positions 0 to 11 index the wall's order table.
namespace WallLayout {

constexpr int kCells = 12;
constexpr int kSingle = 1;
constexpr int kFour = 2;
constexpr int kEight = 3;
constexpr int kNine = 4;
constexpr int kTwelve = 5;

struct Place {
    int row = 0;
    int column = 0;
    int rowSpan = 1;
    int columnSpan = 1;
};

// Number of positions the layout shows at once (1, 4, 8, 9 or 12); 0 for an
// unknown code.
int CellsShown(int code);

// Where position p sits in layout code. In the paged layouts the place
// depends only on p's place within its page.
Place PlaceOf(int code, int position);

}  // namespace WallLayout
