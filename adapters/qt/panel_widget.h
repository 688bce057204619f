#pragma once

#include <QWidget>
#include <exception>
#include <functional>
#include <memory>
#include <string_view>

#include "quillmont/platform/ui/controls.h"

class QMenu;

// A panel (any ui::UserControl) in a Qt window: one native widget per
// control, placed at the control's twips converted at the screen's logical
// DPI. What the user does to the native widgets reaches the panel through the
// same ui routes the driver takes (keys, clicks, combo choices, list rows,
// access keys, context menus, resizes); what the panel then holds (texts,
// items, rows, selection, enabled, visible, focus, geometry, the open pop-up
// menu) is brought back to the widgets.
namespace quillmont::qt {

inline constexpr double kTwipsPerInch = 1440.0;

// Twips to pixels at a DPI, rounded to the nearest pixel, and back.
int TwipsToPixels(float twips, double dpi);
float PixelsToTwips(int pixels, double dpi);
// A control's rectangle in its container's pixels. Each edge is converted on
// its own, so controls that meet in twips meet on the screen.
QRect PixelRect(const ui::Control& control, double dpiX, double dpiY);

class PanelWidget : public QWidget {
  Q_OBJECT

 public:
  // Shows the panel at the size it has now (its design size for a new one).
  // A null panel is refused with std::invalid_argument.
  explicit PanelWidget(std::shared_ptr<ui::UserControl> panel, QWidget* parent = nullptr);
  ~PanelWidget() override;

  ui::UserControl& Panel() const noexcept;
  const std::shared_ptr<ui::UserControl>& SharedPanel() const noexcept;

  // The native widget made for a control, or null (menus have none). A
  // selector's lists and buttons have their own; the selector itself is a
  // plain container widget.
  QWidget* WidgetFor(const ui::Control& control) const;
  // The same by the control's Name.
  QWidget* WidgetFor(std::string_view name) const;
  // The native menu of the panel's open pop-up menu, or null.
  QMenu* OpenMenu() const;

  // The logical DPI the twips are converted at (this widget's screen).
  double DpiX() const;
  double DpiY() const;
  // The panel's size when this widget was made, in pixels.
  QSize DesignSize() const;
  QSize sizeHint() const override;
  // Below its design size a page would cut controls off: a host shows it
  // in a QScrollArea from there.
  QSize minimumSizeHint() const override;

  // Brings every native widget in line with the panel. Runs by itself after
  // each user action it routes; a host calls it after it changed the panel
  // itself (LoadData, SaveData, anything that set a field); showing the
  // widget syncs too.
  void Sync();
  // Puts the keyboard focus in the page: on its active control, else the
  // first in its tab order (a host calls it when the page comes forward).
  void FocusPanel();

  // An error a panel raises in answer to the user (a failing outside
  // component) cannot travel through Qt's event loop: it goes to this
  // handler, after the widgets were brought in line. The default shows it in
  // a critical message box titled with the window's title.
  using ErrorHandler = std::function<void(const std::exception& error)>;
  void SetErrorHandler(ErrorHandler handler);

 signals:
  // After every user action the panel has handled (a host refreshes its
  // "changed" mark or menus from here).
  void UserActed();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  bool event(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace quillmont::qt
