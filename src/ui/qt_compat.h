// The few places where Qt 5.15 and Qt 6 differ, so that one source builds
// with either (the i386 package uses Qt 5: Debian's i386 Qt 6 needs SSE2).
#pragma once

#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPoint>
#include <QString>
#include <QtGlobal>

namespace kev::ui {

// Qt 6 scales windows to the screen's pixel density by itself, also by
// fractions; Qt 5 only when asked, before the application object exists.
inline void ScaleToScreenDensity() {
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
  QGuiApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
  QGuiApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
  QGuiApplication::setHighDpiScaleFactorRoundingPolicy(
      Qt::HighDpiScaleFactorRoundingPolicy::PassThrough);
#endif
}

// Qt 5 counts strings and lists in int, Qt 6 in qsizetype.
using QtSize = decltype(QString().size());

// Where a mouse event happened: in the widget, and on the screen.
inline QPoint EventPos(const QMouseEvent* e) {
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
  return e->position().toPoint();
#else
  return e->pos();
#endif
}

inline QPoint EventGlobalPos(const QMouseEvent* e) {
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
  return e->globalPosition().toPoint();
#else
  return e->globalPos();
#endif
}

// Whether a label shows an image rather than text.
inline bool HasPixmap(const QLabel* label) {
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
  return !label->pixmap().isNull();
#else
  return !label->pixmap(Qt::ReturnByValue).isNull();
#endif
}

}  // namespace kev::ui
