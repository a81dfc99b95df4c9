#include "twainui/layout.h"

namespace ksv::twainui {

namespace {

constexpr POINT P(int x, int y) { return {x, y}; }

const Layout kLayouts[2] = {
    {145, 143, 1, 4, {127, 93, 479, 381},
     {P(524, 56), P(524, 163), P(524, 270), P(524, 377)},
     {P(515, 44), P(515, 151), P(515, 258), P(515, 365)},
     {423, 409, 503, 457}, {300, 409, 380, 457},
     {{{9, 22, 89, 102}, {9, 104, 89, 184}, {9, 186, 89, 266}, {9, 268, 89, 348}, {9, 350, 89, 430},
       {517, 9, 549, 41}, {589, 9, 621, 41}}},
     false},
    {185, 132, 2, 5, {144, 100, 464, 340},
     {P(523, 61), P(643, 61), P(523, 168), P(643, 168), P(523, 275), P(643, 275), P(523, 382), P(643, 382),
      P(523, 489), P(643, 489)},
     {P(514, 49), P(634, 49), P(514, 156), P(634, 156), P(514, 263), P(634, 263), P(514, 370), P(634, 370),
      P(514, 477), P(634, 477)},
     {420, 518, 500, 566}, {300, 518, 380, 566},
     {{{12, 27, 92, 107}, {12, 109, 92, 189}, {12, 191, 92, 271}, {12, 273, 92, 353}, {12, 355, 92, 435},
       {520, 12, 552, 44}, {592, 12, 624, 44}}},
     true},
};

const ButtonArt kButtons[kButtonCount] = {
    {2000, 161, 162, 163, "SnapShot"}, {2001, 181, 180, 179, "Coloring"},
    {2002, 169, 168, 167, "Transfer"}, {2003, 175, 174, 173, "TransferAll"},
    {2004, 166, 165, 164, "Exit"},     {2005, 172, 171, 170, nullptr},
    {2006, 178, 177, 176, nullptr},
};

}  // namespace

const Layout& LayoutAt(int index) { return kLayouts[index == 1 ? 1 : 0]; }

int PickLayout(int fullScreenWidth) { return fullScreenWidth > 640 ? 1 : 0; }

const ButtonArt& ButtonArtAt(int index) { return kButtons[index]; }

}  // namespace ksv::twainui
