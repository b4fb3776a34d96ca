// Every dialog's labels, radio buttons and check boxes show their whole
// text, with the fonts installed and at the DPI the run is given (ctest runs
// this program at 96 and at 144 DPI), and every settings tab is reachable.
#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>

#include "desktop_fixture.h"
#include "ui/count_down.h"
#include "ui/qt_compat.h"

using kev::test::CheckedSettings;
using kev::test::Desktop;
using kev::test::OnNextModal;

namespace {

QString TextOf(QWidget* w) {
  if (auto* label = qobject_cast<QLabel*>(w)) {
    return label->wordWrap() || kev::ui::HasPixmap(label) ? QString() : label->text();
  }
  if (qobject_cast<QRadioButton*>(w) != nullptr || qobject_cast<QCheckBox*>(w) != nullptr ||
      qobject_cast<QToolButton*>(w) != nullptr) {
    return qobject_cast<QAbstractButton*>(w)->text();
  }
  return {};
}

// The controls of root now on screen whose text does not fit.
QStringList Clipped(QWidget* root) {
  QStringList out;
  for (QWidget* w : root->findChildren<QWidget*>()) {
    const QString text = TextOf(w);
    if (text.trimmed().isEmpty() || !w->isVisibleTo(root)) continue;
    // Width for the whole control, height for one line of its text.
    const QSize need(w->sizeHint().width(), w->fontMetrics().height());
    if (need.width() > w->width() || need.height() > w->height()) {
      out << QStringLiteral("%1 \"%2\" needs %3x%4, has %5x%6")
                 .arg(w->objectName(), text)
                 .arg(need.width())
                 .arg(need.height())
                 .arg(w->width())
                 .arg(w->height());
    }
  }
  return out;
}

// Opens the menu's dialog and walks it; walk returns what it found.
QStringList WalkMenuDialog(Desktop& d, const char* item,
                           const std::function<QStringList(QWidget*)>& walk) {
  QStringList found;
  OnNextModal([&](QWidget* dialog) {
    found = walk(dialog);
    qobject_cast<QDialog*>(dialog)->reject();
  });
  d.find<QAction>(item)->trigger();
  return found;
}

QStringList EveryTab(QWidget* setting) {
  auto* tabs = setting->findChild<QTabWidget*>(QStringLiteral("PageControl1"));
  QStringList found;
  // Every tab whole on the screen at once: none behind a scroll arrow.
  for (const QTabBar* bar : setting->findChildren<QTabBar*>()) {
    for (int i = 0; bar->isVisibleTo(setting) && i < bar->count(); ++i) {
      const QRect r = bar->tabRect(i);
      if (!bar->rect().contains(r) ||
          r.width() < bar->fontMetrics().horizontalAdvance(bar->tabText(i))) {
        found << QStringLiteral("tab \"%1\" cut").arg(bar->tabText(i));
      }
    }
  }
  for (int i = 0; i < tabs->count(); ++i) {
    tabs->setCurrentIndex(i);
    found += Clipped(setting);
    QWidget* page = tabs->currentWidget();
    for (QWidget* c : page->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
      if (c->isVisibleTo(page) && !page->rect().contains(c->geometry())) {
        found << QStringLiteral("%1 leaves page %2").arg(c->objectName(), tabs->tabText(i));
      }
    }
  }
  return found;
}

}  // namespace

class ClippingTest : public QObject {
  Q_OBJECT
 private slots:
  void noControlIsCut() {
    Desktop d(CheckedSettings());
    d.display().RunStartup();
    QStringList found = WalkMenuDialog(d, "miSetting", EveryTab);
    found += WalkMenuDialog(d, "miAbout", Clipped);
    found += WalkMenuDialog(d, "miInfo", Clipped);
    for (const char* message : {"This system is shut down after 10 seconds.",
                                "This system is suspended after 10 seconds."}) {
      OnNextModal([&](QWidget* countDown) {
        found += Clipped(countDown);
        qobject_cast<QDialog*>(countDown)->reject();
      });
      kev::ui::ShowCountDown(&d.display(), QLatin1String(message));
    }
    QVERIFY2(found.isEmpty(), qPrintable(found.join(QLatin1Char('\n'))));
  }
};

QTEST_MAIN(ClippingTest)
#include "test_clipping.moc"
