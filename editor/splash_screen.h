// The splash window: the "SPLASH" picture of the resource file with two hot spots, one that opens
// the maker's order page and one that starts the program.
#pragma once

#include <QDialog>
#include <QImage>

namespace movinta::editor {

class TSplashScreen : public QDialog {
  Q_OBJECT
public:
  explicit TSplashScreen(const QString& resourceLibrary, QWidget* parent = nullptr);

  bool HasPicture() const { return !picture_.isNull(); }
  // Reacts to the left button: tag 0 opens the order page and the splash stays, any other tag closes it.
  void Shape1MouseDown(Qt::MouseButton button, int tag);
  QWidget* Shape1() const { return shape1_; }
  QWidget* Shape2() const { return shape2_; }

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  QImage picture_;
  QWidget* shape1_;
  QWidget* shape2_;
};

}  // namespace movinta::editor
