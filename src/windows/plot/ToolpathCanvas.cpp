#include "windows/plot/ToolpathCanvas.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QThread>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {
constexpr double kFitMargin = 12;
constexpr double kPickTolerance = 5;   // pixels
constexpr double kClickSlack = 3;      // a press that moves less is a click
constexpr double kWheelStep = 1.2;     // zoom per notch
constexpr int kPanPictureMs = 40;      // while panning, the picture is made anew this often

QColor ColourOf(const PathColour& c, int alpha = 255) {
    return QColor(c.red, c.green, c.blue, alpha);
}

QPen StylePen(int style, double width = 1.0) {
    static const PathColour kColours[kPathStyles] = {kRapidColour, kFeedColour, kArcColour};
    QPen pen(ColourOf(kColours[style]), width);
    if (style == static_cast<int>(PathStyle::Rapid)) pen.setDashPattern({4, 3});
    return pen;
}

// The polylines of a detail, one pen per style.
void DrawDetail(QPainter& painter, const PathDetail& d, const QPen* pens,
                std::vector<QPointF>& buffer) {
    for (int s = 0; s < kPathStyles; ++s) {
        const size_t n = d.PointCount(s);
        if (n == 0) continue;
        buffer.resize(n);
        const float* f = d.points[s].data();
        for (size_t k = 0; k < n; ++k) buffer[k] = QPointF(f[2 * k], f[2 * k + 1]);
        painter.setPen(pens ? pens[s] : StylePen(s));
        for (size_t r = 0; r < d.RunCount(s); ++r) {
            size_t first, end;
            d.Run(s, r, first, end);
            if (end > first + 1) painter.drawPolyline(buffer.data() + first, static_cast<int>(end - first));
        }
    }
}

bool SameView(const Projection& a, const Projection& b) {
    for (int k = 0; k < 3; ++k)
        if (a.right[k] != b.right[k] || a.down[k] != b.down[k]) return false;
    return a.scale == b.scale;
}
}  // namespace

void DrawToolpath(QPainter& painter, const PlotModel& model, const Projection& p, double width,
                  double height, size_t endMove, ToolpathScratch& scratch) {
    const Toolpath& path = model.path;
    const size_t end = std::min(endMove, path.size());
    std::vector<QPointF> buffer;

    // The stock box, thin.
    BuildStockDetail(path, p, scratch.stock);
    if (scratch.stock.PointCount(static_cast<int>(PathStyle::Feed)) > 0) {
        QPen thin(ColourOf(kStockColour), 1.0);
        const QPen pens[kPathStyles] = {thin, thin, thin};
        DrawDetail(painter, scratch.stock, pens, buffer);
    }
    if (end == 0) return;

    DetailOptions o = PictureOptions(width, height, end);
    if (!DrawnAsPixels(model, p, width, height, end)) {
        BuildDetail(path, p, o, scratch.detail, &model.index);
        size_t points = 0;
        for (int s = 0; s < kPathStyles; ++s) points += scratch.detail.PointCount(s);
        painter.setRenderHint(QPainter::Antialiasing, points < 20000);
        DrawDetail(painter, scratch.detail, nullptr, buffer);
        // The holes: feeds seen end-on, as small rings.
        painter.setPen(StylePen(static_cast<int>(PathStyle::Feed)));
        painter.setBrush(Qt::NoBrush);
        const std::vector<float>& dots = scratch.detail.dots;
        for (size_t k = 0; k + 1 < dots.size(); k += 2)
            painter.drawEllipse(QPointF(dots[k], dots[k + 1]), 3.0, 3.0);
        painter.setRenderHint(QPainter::Antialiasing, false);
        return;
    }
    // Too many moves for polylines: the picture as pixels, later moves over earlier ones.
    BuildRaster(path, p, o, scratch.raster, &model.index);
    const PathRaster& r = scratch.raster;
    if (r.width <= 0 || r.height <= 0) return;
    QImage image(r.width, r.height, QImage::Format_ARGB32_Premultiplied);
    PixelsInto(r, image, 0);
    painter.drawImage(QPointF(0, 0), image);
}

DetailOptions PictureOptions(double width, double height, size_t endMove) {
    DetailOptions o;
    o.width = width;
    o.height = height;
    o.endMove = endMove;
    o.threads = static_cast<unsigned>(std::clamp(QThread::idealThreadCount(), 1, 4));
    return o;
}

bool DrawnAsPixels(const PlotModel& model, const Projection& p, double width, double height,
                   size_t endMove) {
    const size_t end = std::min(endMove, model.path.size());
    if (end <= kDetailMoves) return false;
    return model.index.MovesInView(p, width, height, end) > kDetailMoves;
}

void PixelsInto(const PathRaster& r, QImage& image, QRgb background) {
    const QRgb colours[4] = {background, ColourOf(kRapidColour).rgba(),
                             ColourOf(kFeedColour).rgba(), ColourOf(kArcColour).rgba()};
    const int w = std::min(r.width, image.width()), h = std::min(r.height, image.height());
    for (int y = 0; y < h; ++y) {
        const uint8_t* in = r.pixels.data() + static_cast<size_t>(y) * r.width;
        QRgb* out = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x) out[x] = colours[in[x] & 3];
    }
}

ToolpathCanvas::ToolpathCanvas(QWidget* parent) : QWidget(parent) {
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(120, 100);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(false);
    panTimer_ = new QTimer(this);
    panTimer_->setSingleShot(true);
    panTimer_->setInterval(kPanPictureMs);
    connect(panTimer_, &QTimer::timeout, this, [this] {
        Invalidate();
        update();
    });
    projection_ = ViewProjection(view_, false);
}

void ToolpathCanvas::SetModel(std::shared_ptr<const PlotModel> model, bool fit) {
    const bool first = !model_;
    model_ = std::move(model);
    // A lathe's work is seen from the front, Z across: from above it is a line.
    const bool turnToFront = (fit || first) && model_ && model_->path.lathe &&
                             (view_ == PlotView::XY || view_ == PlotView::YZ);
    if (turnToFront) view_ = PlotView::XZ;
    if (fit || first) {
        fitPending_ = true;
        // Hidden or not laid out yet: at the next painting, at the size it has then.
        if (isVisible() && width() > 1 && height() > 1) FitNow();
    }
    Invalidate();
    update();
    if (turnToFront) emit ViewChanged(view_);
}

void ToolpathCanvas::SetView(PlotView view) {
    view_ = view;
    Fit();
    emit ViewChanged(view);
}


void ToolpathCanvas::Fit() {
    FitNow();
    update();
}

void ToolpathCanvas::FitNow() {
    fitPending_ = false;
    const bool lathe = model_ && model_->path.lathe;
    projection_ = ViewProjection(view_, lathe, yaw_, pitch_);
    PlotBox box = model_ ? model_->DrawnBox() : PlotBox();
    if (!box.empty) {
        FitProjection(projection_, box, width(), height(), kFitMargin);
    } else {
        projection_.tx = width() / 2.0;
        projection_.ty = height() / 2.0;
    }
    Invalidate();
}

void ToolpathCanvas::SetEndMove(size_t endMove) {
    if (endMove == endMove_) return;
    endMove_ = endMove;
    Invalidate();
    update();
}

void ToolpathCanvas::SetHighlightLine(uint32_t line) {
    if (line == highlightLine_) return;
    // Only where the highlight was and where it goes is painted again, over the picture.
    PrepareHighlight();
    const QRectF before = highlight_.area;
    highlightLine_ = line;
    PrepareHighlight();
    const QRectF after = highlight_.area;
    if (before.isEmpty() && after.isEmpty()) return;
    QRect area = before.united(after).toAlignedRect().adjusted(-2, -2, 2, 2);
    update(area.intersected(rect()));
}

void ToolpathCanvas::SetProjection(const Projection& p) {
    projection_ = p;
    fitPending_ = false;
    Invalidate();
    update();
}

long long ToolpathCanvas::MoveAt(QPointF at) const {
    if (!model_) return -1;
    return model_->index.Pick(projection_, at.x(), at.y(), kPickTolerance, endMove_);
}

void ToolpathCanvas::Invalidate() { pictureValid_ = false; }

void ToolpathCanvas::MakePicture() {
    const qreal dpr = devicePixelRatioF();
    const QSize pixels(std::max(1, static_cast<int>(std::ceil(width() * dpr))),
                       std::max(1, static_cast<int>(std::ceil(height() * dpr))));
    if (picture_.size() != pixels) picture_ = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
    picture_.setDevicePixelRatio(1);
    Projection p = projection_;
    p.scale *= dpr, p.tx *= dpr, p.ty *= dpr;
    if (model_ && DrawnAsPixels(*model_, p, pixels.width(), pixels.height(), endMove_)) {
        // Pixels straight into the picture, white where nothing is drawn; the stock over them.
        const size_t end = std::min(endMove_, model_->path.size());
        BuildRaster(model_->path, p, PictureOptions(pixels.width(), pixels.height(), end),
                    scratch_.raster, &model_->index);
        PixelsInto(scratch_.raster, picture_, QColor(Qt::white).rgba());
        QPainter painter(&picture_);
        DrawToolpath(painter, *model_, p, pixels.width(), pixels.height(), 0, scratch_);
    } else {
        picture_.fill(Qt::white);
        if (model_) {
            QPainter painter(&picture_);
            DrawToolpath(painter, *model_, p, pixels.width(), pixels.height(), endMove_, scratch_);
        }
    }
    picture_.setDevicePixelRatio(dpr);
    pictureProjection_ = projection_;
    pictureEnd_ = endMove_;
    pictureModel_ = model_.get();
    pictureValid_ = true;
    ++picturesMade_;
}

void ToolpathCanvas::paintEvent(QPaintEvent*) {
    const bool sameSize = picture_.size() == QSize(std::max(1, static_cast<int>(std::ceil(width() * devicePixelRatioF()))),
                                                   std::max(1, static_cast<int>(std::ceil(height() * devicePixelRatioF()))));
    if (fitPending_ && model_) FitNow();
    QPainter painter(this);
    // While the left button pans, the picture made before is shifted; it is made anew every
    // little while and when the button is let go.
    if (!pictureValid_ && dragButton_ == Qt::LeftButton && dragged_ && sameSize &&
        pictureModel_ == model_.get() && pictureEnd_ == endMove_ &&
        SameView(pictureProjection_, projection_)) {
        painter.fillRect(rect(), Qt::white);
        painter.drawImage(QPointF(projection_.tx - pictureProjection_.tx,
                                  projection_.ty - pictureProjection_.ty),
                          picture_);
        if (!panTimer_->isActive()) panTimer_->start();
    } else {
        if (!pictureValid_ || !sameSize) MakePicture();
        painter.drawImage(QPointF(0, 0), picture_);
    }
    DrawOverlay(painter);
}

void ToolpathCanvas::DrawOverlay(QPainter& painter) {
    painter.setRenderHint(QPainter::Antialiasing, true);
    // The axes, in the lower left corner.
    const QPointF origin(28, height() - 28);
    const char* names[3] = {"X", "Y", "Z"};
    const bool lathe = model_ && model_->path.lathe;
    for (int a = 0; a < 3; ++a) {
        if (lathe && a == 1 && view_ != PlotView::Orbit) continue;
        QPointF d(projection_.right[a], projection_.down[a]);
        double len = std::hypot(d.x(), d.y());
        if (len < 0.15) continue;
        QPointF tip = origin + d * 20;
        painter.setPen(QPen(QColor(90, 90, 90), 1.2));
        painter.drawLine(origin, tip);
        painter.drawText(tip + d / len * 7 - QPointF(3, -4), QString::fromLatin1(names[a]));
    }

    // The caret's block: its moves that are drawn, thick, and the tool where it ends.
    PrepareHighlight();
    PaintHighlightOf(painter, highlight_);
}

void ToolpathCanvas::PaintHighlight(QPainter& painter, const Projection& p) const {
    if (!model_) return;
    Highlight h;
    MakeHighlight(h, *model_, p, highlightLine_, std::min(endMove_, model_->path.size()));
    PaintHighlightOf(painter, h);
}

void ToolpathCanvas::PaintHighlightOf(QPainter& painter, const Highlight& h) {
    if (!h.tool) return;
    painter.setRenderHint(QPainter::Antialiasing, true);
    QPen pen(ColourOf(kHighlightColour), 3.0);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    const QPen pens[kPathStyles] = {pen, pen, pen};
    std::vector<QPointF> buffer;
    DrawDetail(painter, h.detail, pens, buffer);

    // The tool: its shank along its axis (Z, or X on a lathe) and its tip.
    const QPointF at = h.toolAt;
    const QPointF up = h.toolUp;
    painter.setPen(QPen(Qt::black, 1.5));
    if (std::hypot(up.x(), up.y()) > 0.15) {
        QPointF n(-up.y(), up.x());
        n /= std::hypot(n.x(), n.y());
        QPolygonF shank({at + n * 5 + up * 8, at + n * 5 + up * 34, at - n * 5 + up * 34,
                         at - n * 5 + up * 8});
        painter.setBrush(QColor(200, 200, 200, 200));
        painter.drawPolygon(shank);
        painter.drawLine(at, at + n * 5 + up * 8);
        painter.drawLine(at, at - n * 5 + up * 8);
    }
    painter.setBrush(ColourOf(kHighlightColour));
    painter.drawEllipse(at, 4.5, 4.5);
    painter.setBrush(Qt::NoBrush);
}

void ToolpathCanvas::PrepareHighlight() {
    Highlight& h = highlight_;
    const size_t end = model_ ? std::min(endMove_, model_->path.size()) : 0;
    const Projection& p = projection_;
    if (h.line == highlightLine_ && h.model == model_.get() && h.end == end && h.scale == p.scale &&
        h.tx == p.tx && h.ty == p.ty && std::equal(p.right, p.right + 3, h.right) &&
        std::equal(p.down, p.down + 3, h.down))
        return;
    h.line = highlightLine_, h.model = model_.get(), h.end = end;
    h.scale = p.scale, h.tx = p.tx, h.ty = p.ty;
    std::copy(p.right, p.right + 3, h.right);
    std::copy(p.down, p.down + 3, h.down);
    h.detail.Clear();
    h.tool = false;
    h.area = QRectF();
    if (model_) MakeHighlight(h, *model_, p, highlightLine_, end);
}

void ToolpathCanvas::MakeHighlight(Highlight& h, const PlotModel& model, const Projection& p,
                                   uint32_t line, size_t end) {
    if (line == 0) return;
    auto moves = model.index.MovesOfLine(line);
    h.drawn.clear();
    for (uint32_t m : moves)
        if (m < end) h.drawn.push_back(m);
    if (h.drawn.empty()) return;
    BuildMovesDetail(model.path, p, h.drawn, h.detail);
    double x, y;
    p.Apply(model.path.End(h.drawn.back()), x, y);
    if (!std::isfinite(x) || !std::isfinite(y)) return;
    h.tool = true;
    h.toolAt = QPointF(x, y);
    const int axis = model.path.lathe ? 0 : 2;
    h.toolUp = QPointF(p.right[axis], p.down[axis]);
    // What painting it covers: the moves, the tool and its shank, and the pens' widths.
    double x0 = x - 6, y0 = y - 6, x1 = x + 6, y1 = y + 6;
    const QPointF top = h.toolAt + h.toolUp * 34;
    x0 = std::min(x0, top.x() - 7), x1 = std::max(x1, top.x() + 7);
    y0 = std::min(y0, top.y() - 7), y1 = std::max(y1, top.y() + 7);
    for (int s = 0; s < kPathStyles; ++s) {
        const std::vector<float>& pts = h.detail.points[s];
        for (size_t k = 0; k + 1 < pts.size(); k += 2) {
            x0 = std::min(x0, pts[k] - 3.0), x1 = std::max(x1, pts[k] + 3.0);
            y0 = std::min(y0, pts[k + 1] - 3.0), y1 = std::max(y1, pts[k + 1] + 3.0);
        }
    }
    h.area = QRectF(QPointF(x0, y0), QPointF(x1, y1));
}

void ToolpathCanvas::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Invalidate();
    if (fitPending_) return;  // fitted at the next painting
    // The middle of the view stays where it was.
    const QSize old = event->oldSize();
    if (old.width() >= 0 && old.height() >= 0)
        Pan(projection_, (width() - old.width()) / 2.0, (height() - old.height()) / 2.0);
}

void ToolpathCanvas::wheelEvent(QWheelEvent* event) {
    const double notches = event->angleDelta().y() / 120.0;
    if (notches == 0) return;
    ZoomAbout(projection_, std::pow(kWheelStep, notches), event->position().x(),
              event->position().y());
    fitPending_ = false;
    Invalidate();
    update();
    event->accept();
}

void ToolpathCanvas::mousePressEvent(QMouseEvent* event) {
    if (dragButton_ != Qt::NoButton) return;
    if (event->button() != Qt::LeftButton && event->button() != Qt::RightButton) return;
    dragButton_ = event->button();
    pressAt_ = lastAt_ = event->position();
    dragged_ = false;
    setFocus(Qt::MouseFocusReason);
}

void ToolpathCanvas::mouseMoveEvent(QMouseEvent* event) {
    if (dragButton_ == Qt::NoButton) return;
    const QPointF at = event->position();
    if (!dragged_) {
        QPointF d = at - pressAt_;
        if (std::fabs(d.x()) < kClickSlack && std::fabs(d.y()) < kClickSlack) return;
        dragged_ = true;
    }
    const QPointF d = at - lastAt_;
    lastAt_ = at;
    fitPending_ = false;
    if (dragButton_ == Qt::LeftButton) {
        Pan(projection_, d.x(), d.y());
        Invalidate();
        update();
    } else if (view_ == PlotView::Orbit) {
        Turn(-d.x() * 0.5, -d.y() * 0.5);
    }
}

void ToolpathCanvas::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != dragButton_) return;
    const bool click = !dragged_ && dragButton_ == Qt::LeftButton;
    dragButton_ = Qt::NoButton;
    if (dragged_) {
        dragged_ = false;
        panTimer_->stop();
        Invalidate();
        update();
    }
    if (click) {
        long long move = MoveAt(event->position());
        if (move >= 0) emit LineClicked(model_->path.Line(static_cast<size_t>(move)));
    }
}

void ToolpathCanvas::keyPressEvent(QKeyEvent* event) {
    const QPointF centre(width() / 2.0, height() / 2.0);
    switch (event->key()) {
        case Qt::Key_Plus:
            ZoomAbout(projection_, 1.25, centre.x(), centre.y());
            break;
        case Qt::Key_Minus:
            ZoomAbout(projection_, 1 / 1.25, centre.x(), centre.y());
            break;
        case Qt::Key_Left: Pan(projection_, 40, 0); break;
        case Qt::Key_Right: Pan(projection_, -40, 0); break;
        case Qt::Key_Up: Pan(projection_, 0, 40); break;
        case Qt::Key_Down: Pan(projection_, 0, -40); break;
        case Qt::Key_Home: Fit(); return;
        default: QWidget::keyPressEvent(event); return;
    }
    fitPending_ = false;
    Invalidate();
    update();
}

void ToolpathCanvas::Turn(double dYaw, double dPitch) {
    // The middle of the program stays where it is on the screen while the view turns.
    yaw_ = std::remainder(yaw_ + dYaw, 360.0);
    pitch_ = std::clamp(pitch_ + dPitch, -180.0, 0.0);
    const PlotPoint middle = model_ ? model_->DrawnBox().Centre() : PlotPoint{};
    projection_ = TurnedAbout(projection_, yaw_, pitch_, middle);
    Invalidate();
    update();
}
