#include "ui/tab_rows.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace kev::ui {

TabRows::TabRows(QTabWidget* tabs, std::initializer_list<int> perRow, QWidget* parent)
    : QWidget(parent), group_(new QButtonGroup(this)) {
  tabs->tabBar()->hide();
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  int page = 0;
  for (const int count : perRow) {
    auto* row = new QHBoxLayout;
    row->setSpacing(0);
    column->addLayout(row);
    for (int end = page + count; page < end && page < tabs->count(); ++page) {
      auto* b = new QToolButton(this);
      b->setObjectName(QStringLiteral("TabButton%1").arg(page + 1));
      b->setText(tabs->tabText(page));
      b->setCheckable(true);
      b->setFocusPolicy(Qt::NoFocus);  // Ctrl+Tab turns the pages
      b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
      row->addWidget(b);
      group_->addButton(b, page);
    }
  }
  group_->button(tabs->currentIndex())->setChecked(true);
  connect(group_, &QButtonGroup::idClicked, tabs, &QTabWidget::setCurrentIndex);
  connect(tabs, &QTabWidget::currentChanged, this, [this](int i) {
    if (QAbstractButton* b = group_->button(i)) b->setChecked(true);
  });
}

}  // namespace kev::ui
