#pragma once
// The panel "Verktøybane": the buttons of the views, "Tilpass" and "Skriv ut", the picture
// of the toolpath, the slider "Vis til linje", the figures (lengths and time, extents) and
// the lists "Verktøy" and "Merknader". It shows the model it is given and tells which line
// the user went to; it knows nothing of the text or of how the model is made.
#include <QWidget>

#include <cstdint>
#include <memory>
#include <string>

#include "plot/PlotModel.h"

class QLabel;
class QListView;
class QPushButton;
class QSlider;
class ToolpathCanvas;
class ToolpathLines;

inline constexpr const char* kToolpathCaption = "Verktøybane";
inline constexpr const char* kShowToLineCaption = "Vis til linje";
inline constexpr const char* kToolsCaption = "Verktøy";
inline constexpr const char* kNotesCaption = "Merknader";
inline constexpr const char* kFitCaption = "Tilpass";
inline constexpr const char* kPrintViewCaption = "Skriv ut";

class TToolpathView : public QWidget {
    Q_OBJECT
public:
    explicit TToolpathView(QWidget* parent = nullptr);
    ~TToolpathView() override;

    // A new model of a program of lineCount lines; fit: the picture is fitted to it, else
    // the view stays where it was. The slider keeps its line unless it stood at the end.
    void SetModel(std::shared_ptr<const PlotModel> model, int lineCount, bool fit);
    const PlotModel* Model() const;
    // The caret's line (1-based; 0: none): its block highlighted, the tool at its end.
    void SetCaretLine(uint32_t line);

    // "Skriv ut": the view as shown, scaled to one page, on the selected printer with the
    // program's name as job title and heading. False when nothing was printed (reported).
    bool PrintPicture(const std::string& title);

    // The parts, for the window and its tests.
    ToolpathCanvas& Canvas() const { return *canvas_; }
    QSlider& Slider() const { return *slider_; }
    QPushButton& ViewButton(int view) const { return *viewButtons_[view]; }  // XY, XZ, YZ, 3D
    QPushButton& FitButton() const { return *fit_; }
    QPushButton& PrintButton() const { return *print_; }
    QLabel& TotalsLabel() const { return *totals_; }
    QLabel& ExtentsLabel() const { return *extents_; }
    QListView& ToolsList() const { return *tools_; }
    QListView& NotesList() const { return *notes_; }

signals:
    // The user asked for a line: a click on the path, a double-click on a note or a tool.
    void GoToLine(uint32_t line);
    void PrintRequested();

private:
    void SliderMoved(int value);

    std::shared_ptr<const PlotModel> model_;
    ToolpathCanvas* canvas_ = nullptr;
    QPushButton* viewButtons_[4] = {};
    QPushButton* fit_ = nullptr;
    QPushButton* print_ = nullptr;
    QSlider* slider_ = nullptr;
    QLabel* sliderValue_ = nullptr;
    QLabel* totals_ = nullptr;
    QLabel* extents_ = nullptr;
    QListView* tools_ = nullptr;
    QListView* notes_ = nullptr;
    ToolpathLines* toolLines_ = nullptr;
    ToolpathLines* noteLines_ = nullptr;
};
