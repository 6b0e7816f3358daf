// The buttons' look: the label alone, its own width, the full height given, centred; pressing changes
// nothing.

#include <gtest/gtest.h>

#include "StatusItemButtonStyle.h"

namespace pellmor {
namespace {

using platform::makeRect;
using platform::Size;

TEST(StatusItemButtonStyle, LabelKeepsItsWidthAndIsCentredInTheFullHeight) {
  struct Case {
    Size label;
    double availableHeight;
    StatusItemButtonStyle::Body expected;
  };
  const Case table[] = {
      {{20, 16}, 16, {makeRect(0, 0, 20, 16), makeRect(0, 0, 20, 16)}},
      {{35, 13}, 16, {makeRect(0, 0, 35, 16), makeRect(0, 1.5, 35, 13)}},
      {{52, 10}, 22, {makeRect(0, 0, 52, 22), makeRect(0, 6, 52, 10)}},
      {{0, 0}, 16, {makeRect(0, 0, 0, 16), makeRect(0, 8, 0, 0)}},
      {{39, 20},
       16,
       {makeRect(0, 0, 39, 16), makeRect(0, -2, 39, 20)}},  // taller than given: overflows evenly
  };
  for (const Case& row : table) {
    SCOPED_TRACE(::testing::Message()
                 << row.label.width << 'x' << row.label.height << " in " << row.availableHeight);
    EXPECT_EQ(StatusItemButtonStyle{}.makeBody({.labelSize = row.label}, row.availableHeight), row.expected);
  }
}

TEST(StatusItemButtonStyle, PressedButtonLooksLikeAReleasedOne) {
  const StatusItemButtonStyle style;
  for (const Size label : {Size{20, 16}, Size{35, 13}}) {
    EXPECT_EQ(style.makeBody({.labelSize = label, .isPressed = true}, 16),
              style.makeBody({.labelSize = label, .isPressed = false}, 16));
  }
}

}  // namespace
}  // namespace pellmor
