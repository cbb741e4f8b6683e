#pragma once
// Client pixels of the reference plan template as the main window draws it: the grid starts at
// x 273; a teaching-process line is 113 pixels high; its add icon lies 1 mm, its delete icon
// 13 mm right of the line.
namespace e2e {

// Inside the empty "教学重点" cell; a click there puts the caret at x 369 from y 352, 21 pixels
// high.
constexpr int kKeypointsX = 600, kKeypointsY = 375;
constexpr int kDifficultiesX = 600, kDifficultiesY = 437;
constexpr int kTeachLineTop = 589, kTeachLineHeight = 113;
constexpr int kTeacherCellX = 470;
constexpr int kAddIconX = 893, kDeleteIconX = 938;
constexpr int kIconBelowMiddle = -7;

} // namespace e2e
