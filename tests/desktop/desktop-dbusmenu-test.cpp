// The item's menu as hosts use it over com.canonical.dbusmenu: layouts, properties, single and grouped
// events, and when hosts are told that the layout changed.

#include <gtest/gtest.h>

#include <QObject>
#include <QStringList>
#include <utility>
#include <vector>

#include "Backends/StatusNotifier/DBusMenuAdaptor.h"

namespace pellmor::sni {
namespace {

const QStringList titles{QStringLiteral("Toggle Timer"), QStringLiteral("Show or Hide Pellmor")};

class DBusMenu : public ::testing::Test {
 protected:
  DBusMenu() {
    QObject::connect(&menu_, &DBusMenuAdaptor::LayoutUpdated,
                     [this](uint revision, int parent) { updates.emplace_back(revision, parent); });
    menu_.setEntries(titles);
  }

  DBusMenuLayoutItem layout(int parent, int depth, const QStringList& names = {}) {
    DBusMenuLayoutItem item;
    menu_.GetLayout(parent, depth, names, item);
    return item;
  }
  uint revision() {
    DBusMenuLayoutItem ignored;
    return menu_.GetLayout(0, -1, {}, ignored);
  }

  std::vector<int> clicked;
  std::vector<std::pair<uint, int>> updates;
  QObject owner_;
  DBusMenuAdaptor& menu_ = *new DBusMenuAdaptor(owner_, [this](int index) { clicked.push_back(index); });
};

TEST_F(DBusMenu, LayoutListsTheEntriesUnderTheRoot) {
  const DBusMenuLayoutItem whole = layout(0, -1);
  EXPECT_EQ(whole.id, 0);
  ASSERT_EQ(whole.children.size(), 2);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(whole.children[i].id, i + 1);
    EXPECT_EQ(whole.children[i].properties, (QVariantMap{{QStringLiteral("label"), titles[i]},
                                                         {QStringLiteral("enabled"), true},
                                                         {QStringLiteral("visible"), true}}));
  }
  EXPECT_TRUE(layout(0, 0).children.isEmpty()) << "depth 0 is the node alone";
  EXPECT_EQ(layout(2, -1).properties.value(QStringLiteral("label")), titles[1]);
  EXPECT_TRUE(layout(7, -1).properties.isEmpty()) << "an unknown id";
  EXPECT_EQ(layout(0, -1, {QStringLiteral("label")}).children.at(0).properties.keys(),
            QStringList{QStringLiteral("label")});
}

TEST_F(DBusMenu, EventsReachTheEntryTheHostNames) {
  const QDBusVariant nothing(0);
  menu_.Event(2, QStringLiteral("clicked"), nothing, 0);
  menu_.Event(1, QStringLiteral("hovered"), nothing, 0);
  menu_.Event(9, QStringLiteral("clicked"), nothing, 0);
  EXPECT_EQ(clicked, std::vector<int>{1});

  const QList<int> unknown = menu_.EventGroup({{1, QStringLiteral("clicked"), nothing, 0},
                                               {5, QStringLiteral("clicked"), nothing, 0},
                                               {2, QStringLiteral("opened"), nothing, 0}});
  EXPECT_EQ(unknown, QList<int>{5});
  EXPECT_EQ(clicked, (std::vector<int>{1, 0}));

  const DBusMenuEventList flood(1000, {1, QStringLiteral("clicked"), nothing, 0});
  EXPECT_EQ(menu_.EventGroup(flood).size(), 1000) << "a flood of clicks is refused as a whole";
  EXPECT_EQ(clicked, (std::vector<int>{1, 0}));

  QList<int> errors;
  EXPECT_TRUE(menu_.AboutToShowGroup({0, 1, 3}, errors).isEmpty());
  EXPECT_EQ(errors, QList<int>{3});
}

TEST_F(DBusMenu, GroupPropertiesSkipUnknownIds) {
  const DBusMenuItemPropertiesList found = menu_.GetGroupProperties({1, 8, 2}, {QStringLiteral("label")});
  ASSERT_EQ(found.size(), 2);
  EXPECT_EQ(found[0].id, 1);
  EXPECT_EQ(found[1].properties.value(QStringLiteral("label")), titles[1]);
  EXPECT_EQ(menu_.GetProperty(1, QStringLiteral("label")).variant(), titles[0]);
}

TEST_F(DBusMenu, HostsAreToldOfANewLayoutOnlyWhenTheTitlesChange) {
  const uint first = revision();
  menu_.setEntries(titles);
  EXPECT_EQ(updates.size(), 1u);
  menu_.setEntries({QStringLiteral("Zeit umschalten"), QStringLiteral("Pellmor zeigen")});
  ASSERT_EQ(updates.size(), 2u);
  EXPECT_GT(revision(), first);
  EXPECT_EQ(updates.back(), std::make_pair(revision(), 0));
}

}  // namespace
}  // namespace pellmor::sni
