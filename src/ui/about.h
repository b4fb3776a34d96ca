// The About box: program icon, name and version, a turning-fan logo and a
// link to the user documentation.
#pragma once

#include <QColor>
#include <QDialog>
#include <QString>

class QLabel;

namespace kev::ui {

inline constexpr const char* kVersionText = "Ver.2.10";

// Link colours: normal, pointer over the link, visited.
inline const QColor kLinkNormal{Qt::blue};
inline const QColor kLinkHover{Qt::red};
inline const QColor kLinkVisited{0x80, 0x00, 0x80};

// Controls by object name: "Panel1", "ProgramIcon", "ProductName",
// "Version", "Logo", "Label1", "Label2" (the link), "OKButton".
class TAbout : public QDialog {
  Q_OBJECT

 public:
  TAbout(QWidget* parent, QString address);

  QColor linkColor() const { return linkColor_; }

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Label2Click();
  void SetLinkColor(const QColor& color);

  QString address_;
  QColor linkColor_ = kLinkNormal;
  QWidget* panel_;
  QLabel* version_;
  QLabel* label1_;
  QLabel* link_;
};

}  // namespace kev::ui
