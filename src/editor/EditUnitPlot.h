#pragma once
// The toolpath view bound to the text control of its window, as the colouring is: the panel
// "Verktøybane" beside the text, shown and hidden by its check item (F9, remembered per
// user), and the model behind it read anew on a worker from a copy of the text, so the
// window never waits:
// - at once when the program rewrote the text (a load, a text tool: the control reports the
//   end of its update bracket) and when the machine or the file's name changed (they choose
//   the dialect);
// - 300 ms after the user's last keystroke.
// The copy is taken in slices between the window's events, and begins again when the text
// changes under it; a reading that has been overtaken is called off and thrown away. The
// caret's block is highlighted in the picture; a click on the path, a note or a tool puts
// the caret on its line.
#include <QObject>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "plot/Plot.h"

class QAction;
class QDockWidget;
class QMainWindow;
class QTimer;
class PlotWorker;
class TextControl;
class TToolpathView;
struct PlotModel;

inline constexpr const char* kToolpathSettingName = "Verktoybane";  // per-user integer, 1 = shown
inline constexpr int kTypingPauseMs = 300;

class ToolpathLink : public QObject {
    Q_OBJECT
public:
    // What the view borrows from its window.
    struct Window {
        // The reading's settings for the program in the text (its beginning given).
        std::function<PlotSettings(std::string_view textStart)> settings;
        // The program's name, for the printout.
        std::function<std::string()> title;
    };
    // onOff: the menu item whose check mark shows the panel.
    ToolpathLink(QMainWindow& window, TextControl& text, QAction& onOff, Window borrowed);
    ~ToolpathLink() override;

    bool Shown() const;
    // The check mark and the panel; nothing is stored.
    void SetShown(bool on);
    // The menu item chosen (its check mark has toggled already): the choice is stored and
    // the panel shown or hidden.
    void SwitchChosen();
    // The machine or the program's name changed: the model is read anew when the settings
    // for it differ.
    void SettingsChanged();

    // The panel; null until it is first shown.
    TToolpathView* View() const { return view_; }
    QDockWidget* Dock() const { return dock_; }
    // Readings asked for so far, and whether one is on its way (copying or reading).
    uint64_t Requests() const { return requests_; }
    bool Pending() const;
    PlotWorker& Worker() const { return *worker_; }

signals:
    // A model has reached the panel.
    void ModelShown();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void EnsurePanel();
    void Request(bool rewritten);
    void StartCopy();
    void CopySlice();
    void Arrived(std::shared_ptr<const PlotModel> model, uint64_t generation);
    void CaretMoved();
    void GoToLine(uint32_t line);
    void Print();

    QMainWindow& window_;
    TextControl& text_;
    QAction& onOff_;
    Window borrowed_;
    QDockWidget* dock_ = nullptr;
    TToolpathView* view_ = nullptr;
    std::unique_ptr<PlotWorker> worker_;
    QTimer* typing_ = nullptr;  // the pause after a keystroke
    QTimer* copier_ = nullptr;  // the copy's slices
    bool stale_ = true;         // the text has changed since the model shown was read
    bool fitNext_ = true;       // the next model is fitted into the view
    // The copy: asked for (it begins with the next turn of the window's events), or under way.
    bool startCopy_ = false;
    bool copying_ = false;
    std::string copy_;
    size_t copyLength_ = 0;
    uint64_t copyCount_ = 0;  // the text control's count of changes when the copy began
    int copyLines_ = 0;
    PlotSettings copySettings_;
    bool haveSettings_ = false;
    // The reading handed to the worker last, and the one whose model is shown.
    struct Submitted {
        uint64_t generation = 0;
        int lines = 0;
        bool fit = false;
        PlotSettings settings;
    } submitted_;
    uint64_t shownGeneration_ = 0;
    uint64_t requests_ = 0;
};
