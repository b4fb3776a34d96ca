#include <QDesktopServices>
#include <QLabel>
#include <QMessageBox>
#include <QTest>
#include <QUrl>

#include "ui/about.h"

using kev::ui::TAbout;

// Stands in for the desktop's handler of file addresses.
class UrlSink : public QObject {
  Q_OBJECT

 public:
  QList<QUrl> opened;

 public slots:
  void open(const QUrl& url) { opened.append(url); }
};

class AboutTest : public QObject {
  Q_OBJECT

 private slots:
  void linkFollowsThePointerAndStaysVisited();
};

void AboutTest::linkFollowsThePointerAndStaysVisited() {
  UrlSink sink;
  QDesktopServices::setUrlHandler("file", &sink, "open");
  const QString address = QUrl::fromLocalFile(KEV_SOURCE_DIR "/docs/index.md").toString();
  TAbout about(nullptr, address);
  about.show();
  QVERIFY(QTest::qWaitForWindowExposed(&about));
  QCOMPARE(about.findChild<QLabel*>("Version")->text(), QString("Ver.2.10"));

  auto* link = about.findChild<QLabel*>("Label2");
  auto* web = about.findChild<QLabel*>("Label1");
  auto* panel = about.findChild<QWidget*>("Panel1");
  const QColor blue(Qt::blue), red(Qt::red);
  QCOMPARE(about.linkColor(), blue);
  QTest::mouseMove(link);
  QCOMPARE(about.linkColor(), red);
  QTest::mouseMove(web);
  QCOMPARE(about.linkColor(), blue);
  QTest::mouseMove(link);
  QCOMPARE(about.linkColor(), red);
  QTest::mouseMove(panel, QPoint(300, 100));  // empty panel area
  QCOMPARE(about.linkColor(), blue);

  QTest::mouseMove(link);
  QTest::mouseClick(link, Qt::LeftButton);
  const QColor visited = about.linkColor();
  QVERIFY(visited != blue && visited != red);
  QCOMPARE(sink.opened, QList<QUrl>{QUrl(address)});
  QTest::mouseMove(web);
  QTest::mouseMove(link);
  QCOMPARE(about.linkColor(), visited);

  // A documentation folder that is not there is said so, not opened.
  TAbout dead(nullptr, "file:///nowhere/Kevatra/index.md");
  dead.show();
  QTest::mouseClick(dead.findChild<QLabel*>("Label2"), Qt::LeftButton);
  auto* box = dead.findChild<QMessageBox*>("LinkFailure");
  QVERIFY(box != nullptr);
  QVERIFY(box->text().contains("/nowhere/Kevatra/index.md"));
  QCOMPARE(sink.opened.size(), 1);
  QDesktopServices::unsetUrlHandler("file");
}

QTEST_MAIN(AboutTest)
#include "test_about.moc"
