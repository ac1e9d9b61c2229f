#include <gtest/gtest.h>

#include "shell/startup.h"

namespace quillon {
namespace {

TEST(PortButtons, ActivePortsInAscendingOrderElseEmptyPage) {
  TGlobalApp global;
  auto layout = AssignPortButtons(global);
  EXPECT_TRUE(layout.ShowEmptyPage);
  EXPECT_FALSE(layout.MenusEnabled);
  EXPECT_EQ(layout.ShownPort(), 0);

  global.PortActive[5] = true;
  global.PortActive[2] = true;
  layout = AssignPortButtons(global);
  EXPECT_EQ(layout.ButtonPorts, (std::vector<int>{2, 5}));
  EXPECT_EQ(PortButtonCaption(layout.ButtonPorts[0]), "com2:");
  EXPECT_EQ(PortButtonCaption(layout.ButtonPorts[1]), "com5:");
  EXPECT_EQ(layout.ShownPort(), 2) << "the first button is pressed";
  EXPECT_FALSE(layout.ShowEmptyPage);
  EXPECT_TRUE(layout.MenusEnabled);
}

}  // namespace
}  // namespace quillon
