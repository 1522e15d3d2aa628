#pragma once
// The picture of the toolpath: the program's moves as the core's level-of-detail builders
// give them (polylines when the view holds few enough moves, pixels otherwise), cached as an
// image while only the highlight moves; over it the caret's block, the tool at its end and
// the axes. The wheel zooms about the mouse, the left button pans (a click picks the move
// under the mouse), the right button turns the 3D view.
#include <QImage>
#include <QRectF>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <vector>

#include "plot/PlotModel.h"
#include "plot/PlotView.h"

class QTimer;

// The scratch room of the builders, kept between pictures.
struct ToolpathScratch {
    PathDetail detail;
    PathRaster raster;
    PathDetail stock;
};

// Draws the moves [0, endMove) and the stock box at projection p into the rectangle
// (0, 0, width, height) of the painter's coordinates, which are pixels of the picture:
// polylines when about kDetailMoves or fewer lie in the view, else pixels.
inline constexpr size_t kDetailMoves = 25000;
void DrawToolpath(QPainter& painter, const PlotModel& model, const Projection& p, double width,
                  double height, size_t endMove, ToolpathScratch& scratch);
// Whether that picture is made of pixels.
bool DrawnAsPixels(const PlotModel& model, const Projection& p, double width, double height,
                   size_t endMove);
// The builders' options for a picture of that size: pixels made on a thread per core.
DetailOptions PictureOptions(double width, double height, size_t endMove);
// Pixels into an image (ARGB32, premultiplied) in the colours of their styles.
void PixelsInto(const PathRaster& r, QImage& image, QRgb background);

class ToolpathCanvas : public QWidget {
    Q_OBJECT
public:
    explicit ToolpathCanvas(QWidget* parent = nullptr);

    // A new model; fit: the view is fitted to it, else the view stays where it is.
    void SetModel(std::shared_ptr<const PlotModel> model, bool fit);
    const PlotModel* Model() const { return model_.get(); }

    void SetView(PlotView view);
    PlotView View() const { return view_; }
    // The whole program (and its stock) in the view with a margin.
    void Fit();
    // The moves drawn: [0, endMove).
    void SetEndMove(size_t endMove);
    size_t EndMove() const { return endMove_; }
    // The block whose moves are highlighted, with the tool at its end; 0: none.
    void SetHighlightLine(uint32_t line);
    uint32_t HighlightLine() const { return highlightLine_; }

    const Projection& CurrentProjection() const { return projection_; }
    void SetProjection(const Projection& p);
    // The move drawn under a point of the widget within a few pixels; -1 when none.
    long long MoveAt(QPointF at) const;
    // Pictures of the path made so far (the highlight alone makes none).
    int PicturesMade() const { return picturesMade_; }
    // The highlight and the tool at another projection (a printout of the view).
    void PaintHighlight(QPainter& painter, const Projection& p) const;

signals:
    // The user clicked on the path: the line of the block that made the move (1-based).
    void LineClicked(uint32_t line);
    void ViewChanged(PlotView view);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Invalidate();
    void FitNow();
    void MakePicture();
    void Turn(double dYaw, double dPitch);
    void DrawOverlay(QPainter& painter);
    struct Highlight;
    void PrepareHighlight();
    static void MakeHighlight(Highlight& h, const PlotModel& model, const Projection& p,
                              uint32_t line, size_t end);
    static void PaintHighlightOf(QPainter& painter, const Highlight& h);

    std::shared_ptr<const PlotModel> model_;
    PlotView view_ = PlotView::XY;
    double yaw_ = kDefaultYaw, pitch_ = kDefaultPitch;
    Projection projection_;
    size_t endMove_ = SIZE_MAX;
    uint32_t highlightLine_ = 0;
    bool fitPending_ = true;  // fitted when it first has a size

    // The cached picture and what it was made of.
    QImage picture_;
    Projection pictureProjection_;
    size_t pictureEnd_ = 0;
    const PlotModel* pictureModel_ = nullptr;
    bool pictureValid_ = false;
    int picturesMade_ = 0;
    ToolpathScratch scratch_;
    // The highlight as made for the line, model, moves drawn and view it was made for.
    struct Highlight {
        uint32_t line = 0;
        const PlotModel* model = nullptr;
        size_t end = 0;
        double scale = 0, tx = 0, ty = 0, right[3] = {}, down[3] = {};
        std::vector<uint32_t> drawn;
        PathDetail detail;
        bool tool = false;
        QPointF toolAt, toolUp;
        QRectF area;  // what it covers on the screen
    } highlight_;
    QTimer* panTimer_ = nullptr;  // the picture made anew after a pan has paused

    // The mouse.
    Qt::MouseButton dragButton_ = Qt::NoButton;
    QPointF pressAt_, lastAt_;
    bool dragged_ = false;
};
