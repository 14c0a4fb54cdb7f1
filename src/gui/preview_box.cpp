#include "gui/preview_box.h"

#include <QPainter>

namespace slabrip {

TPreviewBox::TPreviewBox(int width, int height, QWidget* parent) : QWidget(parent) {
  setFixedSize(width, height);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

QImage ToQImage(const TBitmap32& bitmap) {
  if (bitmap.Width() <= 0 || bitmap.Height() <= 0) return {};
  // QImage's ARGB32 is the same 0xAARRGGBB word per pixel; copy, since the
  // driver keeps drawing into its bitmap.
  const QImage view(reinterpret_cast<const uchar*>(bitmap.Pixels()), bitmap.Width(), bitmap.Height(),
                    bitmap.Stride(), QImage::Format_ARGB32);
  return view.copy();
}

void TPreviewBox::SetBitmap(const TBitmap32& bitmap) {
  Image_ = ToQImage(bitmap);
  update();
}

void TPreviewBox::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().window());
  if (!Image_.isNull()) painter.drawImage(0, 0, Image_);
}

}  // namespace slabrip
