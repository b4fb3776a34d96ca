// Tabs in rows: all pages of a tab widget reachable at once, without
// scrolling, where one row of tabs would not fit.
#pragma once

#include <QWidget>
#include <initializer_list>

class QButtonGroup;
class QTabWidget;

namespace kev::ui {

class TabRows : public QWidget {
  Q_OBJECT
 public:
  // Takes the place of tabs' own bar: one button per page (named
  // "TabButton<n>"), rows of perRow[0], perRow[1], ... pages in page order.
  TabRows(QTabWidget* tabs, std::initializer_list<int> perRow, QWidget* parent);

 private:
  QButtonGroup* group_;
};

}  // namespace kev::ui
