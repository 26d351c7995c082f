// A list box that keeps its horizontal scroll extent at the width of its widest item.
#pragma once

#include <QListWidget>

class TListBoxHrz : public QListWidget {
  Q_OBJECT
public:
  static constexpr int kItemMargin = 26;
  explicit TListBoxHrz(QWidget* parent = nullptr);
  ~TListBoxHrz() override;

  // The horizontal extent in pixels the list scrolls over.
  int CurrentWidth() const { return extent_; }
  void SetCurrentWidth(int width);
  int TabWidth() const { return tabWidth_; }
  void SetTabWidth(int width) { tabWidth_ = width; }

protected:
  void updateGeometries() override;
  void changeEvent(QEvent* event) override;

private:
  int ItemWidth(int row) const;
  void Recompute();
  int extent_ = 0;
  int tabWidth_ = 0;
};
