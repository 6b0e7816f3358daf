// The item's menu as hosts use it over com.canonical.dbusmenu: layouts, properties, single and grouped
// events, and when hosts are told that the layout changed.

#include <gtest/gtest.h>

#include <QObject>
#include <QStringList>
#include <vector>

#include "Backends/StatusNotifier/DBusMenuAdaptor.h"

namespace pellmor::sni {
namespace {

class DBusMenu : public ::testing::Test {
 protected:
  DBusMenu() {
    QObject::connect(&menu_, &DBusMenuAdaptor::LayoutUpdated, [this](uint revision, int parent) {
      updates.push_back({revision, parent});
    });
    menu_.setEntries({QStringLiteral("Toggle Timer"), QStringLiteral("Show or Hide Pellmor")});
  }

  DBusMenuLayoutItem layout(int parent, int depth, const QStringList& names = {}) {
    DBusMenuLayoutItem item;
    lastRevision = menu_.GetLayout(parent, depth, names, item);
    return item;
  }

  static QStringList labelsOf(const DBusMenuLayoutItem& item) {
    QStringList labels;
    for (const DBusMenuLayoutItem& child : item.children)
      labels.push_back(child.properties.value(QStringLiteral("label")).toString());
    return labels;
  }

  struct Update {
    uint revision;
    int parent;
  };
  std::vector<int> clicked;
  std::vector<Update> updates;
  uint lastRevision = 0;
  QObject owner_;
  DBusMenuAdaptor& menu_ = *new DBusMenuAdaptor(owner_, [this](int index) { clicked.push_back(index); });
};

TEST_F(DBusMenu, LayoutListsTheEntriesUnderTheRoot) {
  const DBusMenuLayoutItem whole = layout(0, -1);
  EXPECT_EQ(whole.id, 0);
  EXPECT_EQ(labelsOf(whole),
            (QStringList{QStringLiteral("Toggle Timer"), QStringLiteral("Show or Hide Pellmor")}));
  EXPECT_EQ(whole.children.at(0).id, 1);
  EXPECT_EQ(whole.children.at(1).id, 2);
  EXPECT_TRUE(whole.children.at(0).properties.value(QStringLiteral("enabled")).toBool());

  EXPECT_TRUE(layout(0, 0).children.isEmpty()) << "depth 0 is the node alone";
  EXPECT_EQ(layout(2, -1).properties.value(QStringLiteral("label")), QStringLiteral("Show or Hide Pellmor"));
  EXPECT_TRUE(layout(7, -1).properties.isEmpty()) << "an unknown id";
  const DBusMenuLayoutItem labelsOnly = layout(0, -1, {QStringLiteral("label")});
  EXPECT_EQ(labelsOnly.children.at(0).properties.keys(), QStringList{QStringLiteral("label")});
}

TEST_F(DBusMenu, ClicksReachTheEntryTheHostNames) {
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

  DBusMenuEventList flood;
  for (int i = 0; i < 1000; ++i)
    flood.push_back({1, QStringLiteral("clicked"), nothing, 0});
  EXPECT_EQ(menu_.EventGroup(flood).size(), 1000) << "a flood of clicks is refused as a whole";
  EXPECT_EQ(clicked, (std::vector<int>{1, 0}));

  QList<int> errors;
  EXPECT_TRUE(menu_.AboutToShowGroup({0, 1, 3}, errors).isEmpty());
  EXPECT_EQ(errors, QList<int>{3});
  EXPECT_FALSE(menu_.AboutToShow(0));
}

TEST_F(DBusMenu, GroupPropertiesSkipUnknownIds) {
  const DBusMenuItemPropertiesList found = menu_.GetGroupProperties({1, 8, 2}, {QStringLiteral("label")});
  ASSERT_EQ(found.size(), 2);
  EXPECT_EQ(found[0].id, 1);
  EXPECT_EQ(found[1].properties.value(QStringLiteral("label")), QStringLiteral("Show or Hide Pellmor"));
  EXPECT_EQ(menu_.GetProperty(1, QStringLiteral("label")).variant(), QStringLiteral("Toggle Timer"));
}

TEST_F(DBusMenu, HostsAreToldOfANewLayoutOnlyWhenTheTitlesChange) {
  ASSERT_EQ(updates.size(), 1u);
  layout(0, -1);
  const uint first = lastRevision;
  menu_.setEntries({QStringLiteral("Toggle Timer"), QStringLiteral("Show or Hide Pellmor")});
  EXPECT_EQ(updates.size(), 1u);
  menu_.setEntries({QStringLiteral("Zeit umschalten"), QStringLiteral("Pellmor zeigen")});
  ASSERT_EQ(updates.size(), 2u);
  EXPECT_EQ(updates.back().parent, 0);
  layout(0, -1);
  EXPECT_EQ(updates.back().revision, lastRevision);
  EXPECT_GT(lastRevision, first);
}

}  // namespace
}  // namespace pellmor::sni
