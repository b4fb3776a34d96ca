#include "ui/about.h"

#include <qdrawutil.h>

#include <QDesktopServices>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <QtMath>

#include "ui/program_images.h"
#include "ui/qt_compat.h"

namespace kev::ui {
namespace {

constexpr QSize kClientSize(404, 154);
constexpr QRect kPanelRect(3, 3, 398, 120);
// Positions inside the panel are given in dialog coordinates and moved in.
constexpr QRect kIconRect(19, 18, 32, 32);
// 20 high: Qt 5 rounds the bold 17-pixel line up to 20.
constexpr QRect kProductRect(64, 17, 77, 20);
constexpr QRect kVersionRect(159, 17, 210, 20);
constexpr QRect kLogoRect(18, 67, 87, 40);
// Two pixels wider to the left than the form's 35, for the metrics of the
// Times New Roman stand-in.
constexpr QRect kLabel1Rect(122, 70, 37, 15);
constexpr QRect kLinkRect(161, 70, 209, 15);
constexpr QRect kOkRect(345, 128, 56, 23);

constexpr int kLogoFrameMs = 50;
constexpr int kLogoFrames = 72;  // one turn of the fan, 5 degrees a frame

QFont TimesBold(int pixels) {
  QFont font("Times New Roman");
  font.setPixelSize(pixels);
  font.setBold(true);
  return font;
}

// Shortened in the middle until the label's own measure (a pixel wider than
// the advance where the last glyph overhangs) fits the width.
QString ElidedToFit(const QFontMetrics& metrics, const QString& text, int width) {
  QString shown = text;
  for (int w = width; w > 0; --w) {
    shown = metrics.elidedText(text, Qt::ElideMiddle, w);
    if (metrics.size(Qt::TextSingleLine, shown).width() <= width) break;
  }
  return shown;
}

QRect InPanel(const QRect& r) { return r.translated(-kPanelRect.topLeft()); }

template <typename Widget>
Widget* Place(Widget* w, const char* name, const QRect& geometry) {
  w->setObjectName(name);
  w->setGeometry(geometry);
  return w;
}

QLabel* AddLabel(QWidget* panel, const char* name, const QRect& dialogRect, const QString& text,
                 const QFont& font) {
  auto* label = Place(new QLabel(text, panel), name, InPanel(dialogRect));
  label->setFont(font);
  return label;
}

// Lowered outer and raised inner bevel.
class BevelPanel : public QWidget {
 public:
  using QWidget::QWidget;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    qDrawShadePanel(&p, rect(), palette(), true, 1);
    qDrawShadePanel(&p, rect().adjusted(1, 1, -1, -1), palette(), false, 1);
  }
};

// A fan turning beside a scrolling reading trace, looping for as long as
// the widget lives.
class LogoAnimation : public QWidget {
 public:
  explicit LogoAnimation(QWidget* parent) : QWidget(parent) {
    auto* timer = new QTimer(this);
    connect(timer, &QTimer::timeout, this, [this] {
      frame_ = (frame_ + 1) % kLogoFrames;
      update();
    });
    timer->start(kLogoFrameMs);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(rect(), QColor(0x10, 0x18, 0x28));
    const double h = height();
    PaintFan(p, QPointF(h / 2, h / 2), h / 2 - 3, frame_ * 360.0 / kLogoFrames,
             QColor(0x9c, 0xc8, 0xff), 4);
    // Two periods of the trace pass per fan turn, so the loop is seamless.
    QPainterPath trace;
    const double left = h + 2, right = width() - 3;
    for (double x = left; x <= right; x += 1) {
      const double phase = (x - left) / 24.0 + 2.0 * frame_ / kLogoFrames;
      const QPointF pt(x, h / 2 - (h / 2 - 8) * std::sin(2 * M_PI * phase));
      if (x == left) {
        trace.moveTo(pt);
      } else {
        trace.lineTo(pt);
      }
    }
    p.setPen(QPen(QColor(0x40, 0xe0, 0x60), 1.5));
    p.drawPath(trace);
  }

 private:
  int frame_ = 0;
};

}  // namespace

TAbout::TAbout(QWidget* parent, QString address)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      address_(std::move(address)) {
  setWindowTitle("About");
  setFixedSize(kClientSize);
  panel_ = Place(new BevelPanel(this), "Panel1", kPanelRect);

  auto* icon = Place(new QLabel(panel_), "ProgramIcon", InPanel(kIconRect));
  icon->setPixmap(ProgramIcon().pixmap(kIconRect.size()));
  AddLabel(panel_, "ProductName", kProductRect, "Kevatra", TimesBold(17));
  version_ = AddLabel(panel_, "Version", kVersionRect, QString(), TimesBold(17));
  Place(new LogoAnimation(panel_), "Logo", InPanel(kLogoRect));
  label1_ = AddLabel(panel_, "Label1", kLabel1Rect, "Web : ", TimesBold(13));

  QFont linkFont = TimesBold(13);
  linkFont.setUnderline(true);
  // A long address is shortened in the middle; the tip and the click use all of it.
  link_ = AddLabel(panel_, "Label2", kLinkRect,
                   ElidedToFit(QFontMetrics(linkFont), address_, kLinkRect.width()), linkFont);
  link_->setToolTip(address_);
  link_->setCursor(Qt::PointingHandCursor);
  SetLinkColor(kLinkNormal);

  for (QWidget* w : {static_cast<QWidget*>(this), panel_, static_cast<QWidget*>(label1_),
                     static_cast<QWidget*>(link_)}) {
    w->setMouseTracking(true);
    w->installEventFilter(this);
  }

  auto* ok = Place(new QPushButton("Ok", this), "OKButton", kOkRect);
  ok->setFont(TimesBold(15));
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

void TAbout::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  version_->setText(kVersionText);
}

bool TAbout::eventFilter(QObject* watched, QEvent* event) {
  if (watched == link_) {
    switch (event->type()) {
      case QEvent::MouseMove:
        if (linkColor_ == kLinkNormal) SetLinkColor(kLinkHover);
        return true;  // kept from the panel, which would turn it blue again
      case QEvent::MouseButtonPress:
        return true;
      case QEvent::MouseButtonRelease: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton && link_->rect().contains(EventPos(mouse))) {
          Label2Click();
        }
        return true;
      }
      default:
        break;
    }
  } else if (event->type() == QEvent::MouseMove && linkColor_ == kLinkHover) {
    SetLinkColor(kLinkNormal);
  }
  return QDialog::eventFilter(watched, event);
}

void TAbout::Label2Click() {
  SetLinkColor(kLinkVisited);
  const QUrl url(address_);
  const bool missing = url.isLocalFile() && !QFileInfo::exists(url.toLocalFile());
  if (!missing && QDesktopServices::openUrl(url)) return;
  auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("About"),
                              QStringLiteral("The documentation could not be opened:\n%1")
                                  .arg(missing ? url.toLocalFile() : address_),
                              QMessageBox::Ok, this);
  box->setObjectName(QStringLiteral("LinkFailure"));
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->open();
}

void TAbout::SetLinkColor(const QColor& color) {
  linkColor_ = color;
  QPalette palette = link_->palette();
  palette.setColor(QPalette::WindowText, color);
  link_->setPalette(palette);
}

}  // namespace kev::ui
