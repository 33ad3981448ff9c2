// The window's widgets made from the control table, wired to the controller and mirroring its state.
#pragma once

#include <QButtonGroup>
#include <QFontMetrics>
#include <QRect>
#include <QWidget>

#include <map>
#include <set>

#include "panel/control_table.h"
#include "panel/panel_controller.h"

namespace qv7::panel {

// Dialog units to pixels from the font: a quarter of the average character width across, an eighth of the height down.
struct DialogUnits {
    explicit DialogUnits(const QFontMetrics& fm) : charWidth(fm.averageCharWidth()), charHeight(fm.height()) {}
    int x(int du) const { return (du * charWidth + 2) / 4; }
    int y(int du) const { return (du * charHeight + 4) / 8; }
    QRect rect(const DialogRect& r) const { return {x(r.x), y(r.y), x(r.w), y(r.h)}; }
    int charWidth;
    int charHeight;
};

class WidgetBindings {
public:
    WidgetBindings(QWidget& window, PanelController& controller);

    // Creates every control of the table on a surface of the layout's size, owned by the window.
    void build(const DialogUnits& units);
    QWidget* surface() const { return surface_; }
    // Puts the controller's state for these ids onto the widgets, without echoing back.
    void mirror(const std::set<int>& ids);
    QWidget* widget(int id) const;
    // The track-bar position a slider widget shows (its value, negated for vertical sliders).
    int position(int id) const;

private:
    void flowRows(const DialogUnits& units);
    void wire(int id, QWidget* w, Kind kind);
    void mirrorOne(int id);

    QWidget& window_;
    QWidget* surface_ = nullptr;
    PanelController& controller_;
    std::map<int, QWidget*> widgets_;
    std::map<int, Kind> kinds_;
    std::map<int, QButtonGroup*> radioGroups_;  // by radio id
    std::set<int> negated_;                     // vertical sliders: the widget's value is −position
    std::multimap<int, QWidget*> followers_;    // by slider id: its caption and value labels
    std::set<int> following_;                   // value labels among them
};

}  // namespace qv7::panel
