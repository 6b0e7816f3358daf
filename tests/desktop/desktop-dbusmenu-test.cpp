// The item's menu as hosts use it over com.canonical.dbusmenu: the layout they show, and the events that
// reach an entry.

#include <gtest/gtest.h>

#include <QObject>
#include <QStringList>
#include <vector>

#include "Backends/StatusNotifier/DBusMenuAdaptor.h"

namespace pellmor::sni {
namespace {

TEST(DBusMenu, ShowsTheEntriesAndRunsTheOneClicked) {
  const QStringList titles{QStringLiteral("Toggle Timer"), QStringLiteral("Show or Hide Pellmor")};
  std::vector<int> clicked;
  DBusMenuObject owner;
  DBusMenuAdaptor& menu = *new DBusMenuAdaptor(owner, [&](int index) { clicked.push_back(index); });
  menu.setEntries(titles);

  DBusMenuLayoutItem root;
  menu.GetLayout(0, -1, {}, root);
  ASSERT_EQ(root.children.size(), 2);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(root.children[i].id, i + 1);
    EXPECT_EQ(root.children[i].properties.value(QStringLiteral("label")), titles[i]);
  }

  const QDBusVariant nothing(0);
  EXPECT_EQ(menu.EventGroup({{1, QStringLiteral("clicked"), nothing, 0},
                             {5, QStringLiteral("clicked"), nothing, 0},
                             {2, QStringLiteral("hovered"), nothing, 0}}),
            QList<int>{5});
  EXPECT_EQ(clicked, std::vector<int>{0}) << "only clicks on known entries";

  const DBusMenuEventList flood(1000, {1, QStringLiteral("clicked"), nothing, 0});
  EXPECT_EQ(menu.EventGroup(flood).size(), 1000) << "a flood of clicks is refused as a whole";
  EXPECT_EQ(clicked, std::vector<int>{0});
}

}  // namespace
}  // namespace pellmor::sni
