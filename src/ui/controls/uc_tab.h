#pragma once
// An owner-drawn strip of tabs on the window's own background; the host
// shows the page of the selected tab.

#include <QString>
#include <QWidget>
#include <functional>
#include <vector>

namespace varn {

class UC_Tab : public QWidget {
 public:
  explicit UC_Tab(QWidget* parent = nullptr);

  int NumTab() const { return static_cast<int>(tabs_.size()); }
  // Captions and hidden flags of the tabs that remain are kept.
  void SetNumTab(int count);
  QString TabStr(int tab) const;
  void SetTabStr(int tab, const QString& caption);
  bool TabHidden(int tab) const;
  void SetTabHidden(int tab, bool hidden);
  // Narrowest tab, twips.
  int TabMinWidth() const { return minWidthTwips_; }
  void SetTabMinWidth(int twips);
  // 1: each tab as wide as its own caption needs; 0: all as wide as the widest.
  int UseIndpWidth() const { return useIndpWidth_; }
  void SetUseIndpWidth(int independent);
  // The drawn width of a tab, twips (0 for a hidden one).
  int TabWidth(int tab) const;
  float FontSize() const { return fontSize_; }
  void SetFontSize(float points);

  // The selected tab (from 0), -1 for none. Setting it raises no event.
  int SelectedTab() const { return selected_; }
  void SetSelectedTab(int tab);
  // Clicks and keys select nothing while set.
  bool ClickDisabled() const { return clickDisabled_; }
  void SetClickDisabled(bool disabled) { clickDisabled_ = disabled; }
  // A click on the tab already selected raises TabClicked again while set.
  bool RaiseMinTabClick() const { return raiseOnSelected_; }
  void SetRaiseMinTabClick(bool raise) { raiseOnSelected_ = raise; }

  // Qt paints the window under its children, so the strip always blends with
  // the window's background; the call only records the window and redraws.
  void SetBGPic(int leftTwips, int topTwips, QWidget* window);
  void DrawAll() { update(); }

  // The tab under x (pixels), -1 for none.
  int TabAt(int x) const;
  QRect TabRect(int tab) const;

  // The user selected a tab (click or arrow key).
  std::function<void(int tab)> onTabClicked;

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  struct Tab {
    QString caption;
    bool hidden = false;
  };

  int WidthPixels(int tab) const;
  void UserSelects(int tab);
  int NextVisible(int from, int step) const;

  std::vector<Tab> tabs_;
  int minWidthTwips_ = 0;
  int useIndpWidth_ = 1;
  float fontSize_ = 9;
  int selected_ = 0;
  bool clickDisabled_ = false;
  bool raiseOnSelected_ = false;
  QWidget* backgroundWindow_ = nullptr;
};

}  // namespace varn
