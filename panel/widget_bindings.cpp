// Widget creation and mirroring; a widget's user signal goes to the controller, the controller's state comes back.
#include "panel/widget_bindings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPalette>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>

#include <algorithm>

#include "panel/bar_label.h"
#include "panel/disabled_look.h"
#include "panel/group_frame.h"
#include "panel/text_fit.h"
#include "panel/window_texts.h"

namespace qv7::panel {

namespace {
QString qs(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

// A control whose text is longer than its rectangle reaches towards `to` (a right edge beyond it, or a left edge
// before it) as far as its text needs.
void reach(QWidget& w, int to) {
    const int need = textNeed(w);
    if (need <= w.width()) return;
    const QRect r = w.geometry();
    if (to > r.right()) w.setGeometry(r.x(), r.y(), std::min(need, to - r.x()), r.height());
    else w.setGeometry(std::max(to, r.right() + 1 - need), r.y(), std::min(need, r.right() + 1 - to), r.height());
}

Qt::Alignment alignment(Align a) {
    switch (a) {
    case Align::Centre:
        return Qt::AlignHCenter | Qt::AlignVCenter;
    case Align::Right:
        return Qt::AlignRight | Qt::AlignVCenter;
    default:
        return Qt::AlignLeft | Qt::AlignVCenter;
    }
}
}  // namespace

WidgetBindings::WidgetBindings(QWidget& window, PanelController& controller)
    : window_(window), controller_(controller) {}

QWidget* WidgetBindings::widget(int id) const {
    auto it = widgets_.find(id);
    return it == widgets_.end() ? nullptr : it->second;
}

int WidgetBindings::position(int id) const {
    auto* slider = qobject_cast<QSlider*>(widget(id));
    if (!slider) return 0;
    return negated_.count(id) ? -slider->value() : slider->value();
}

void WidgetBindings::build(const DialogUnits& units) {
    new DisabledLook(window_);
    surface_ = new QWidget(&window_);
    surface_->setFixedSize(units.x(kWindowWidthDu), units.y(kWindowHeightDu));
    QWidget* const parent = surface_;
    QButtonGroup* group = nullptr;
    for (const ControlSpec& control : controlTable()) {
        QWidget* w = nullptr;
        switch (control.kind) {
        case Kind::Group:
            w = new GroupFrame(windowText(control.caption, kGroupCaption), parent);
            w->setObjectName(QStringLiteral("group ") + qs(control.caption));
            break;
        case Kind::Text:
        case Kind::ValueLabel: {
            // The percentage is drawn over the bar made just before it.
            auto* bar =
                control.id == kUpdatePercentLabelId ? qobject_cast<QProgressBar*>(widget(kUpdateProgressId)) : nullptr;
            QLabel* label = bar ? new BarLabel(*bar, parent) : new QLabel(windowText(control.caption), parent);
            // Labels show the device's texts (battery, versions): never read as markup.
            label->setTextFormat(Qt::PlainText);
            label->setAlignment(alignment(control.align));
            w = label;
            break;
        }
        case Kind::Slider: {
            auto* slider = new DimmedSlider(control.horizontal ? Qt::Horizontal : Qt::Vertical, parent);
            slider->setTickPosition(QSlider::NoTicks);
            // A vertical track bar has its minimum position at the top. The QSlider carries the negated
            // position instead of inverting its appearance, so its filled part grows with the field.
            if (!control.horizontal) negated_.insert(control.id);
            w = slider;
            break;
        }
        case Kind::CheckBox:
            w = new QCheckBox(windowText(control.caption), parent);
            break;
        case Kind::Radio: {
            if (control.groupStart) group = new QButtonGroup(&window_);
            auto* radio = new QRadioButton(windowText(control.caption), parent);
            group->addButton(radio);
            radioGroups_[control.id] = group;
            w = radio;
            break;
        }
        case Kind::Button: {
            auto* button = new QPushButton(windowText(control.caption), parent);
            button->setAutoDefault(false);
            w = button;
            break;
        }
        case Kind::Combo: {
            w = new QComboBox(parent);
            break;
        }
        case Kind::Progress: {
            auto* bar = new QProgressBar(parent);
            bar->setRange(0, 100);
            bar->setTextVisible(false);  // label 1076 shows the percentage over it
            w = bar;
            break;
        }
        }
        w->setGeometry(units.rect(control.rect));
        if (control.roomTo != 0) reach(*w, units.x(control.roomTo));
        if (control.enabledWith != 0) {
            followers_.emplace(control.enabledWith, w);
            if (control.id != 0) following_.insert(control.id);
        }
        if (control.id != 0) {
            w->setObjectName(QString::number(control.id));
            widgets_[control.id] = w;
            kinds_[control.id] = control.kind;
            wire(control.id, w, control.kind);
        }
    }
    flowRows(units);
    if (auto* percent = widget(kUpdatePercentLabelId)) {
        // Black on the filled bar whatever the desktop theme, which may draw light text meant for a dark window.
        QPalette palette = percent->palette();
        palette.setColor(QPalette::WindowText, Qt::black);
        percent->setPalette(palette);
        percent->raise();
    }
}

void WidgetBindings::flowRows(const DialogUnits& units) {
    // Check boxes and radio buttons side by side in a group: when one caption is longer than its box (the English
    // window's words), the row is laid out again from its first box, each as wide as its text needs, as long as
    // the row stays inside its frame.
    std::vector<QRect> frames;
    for (const ControlSpec& c : controlTable())
        if (c.kind == Kind::Group) frames.push_back(units.rect(c.rect));
    std::map<std::pair<int, int>, std::vector<QWidget*>> rows;  // by frame and top
    for (const ControlSpec& c : controlTable()) {
        if (c.kind != Kind::CheckBox && c.kind != Kind::Radio) continue;
        QWidget* w = widget(c.id);
        for (int f = 0; f < static_cast<int>(frames.size()); ++f)
            if (frames[f].contains(w->geometry())) rows[{f, w->y()}].push_back(w);
    }
    for (auto& [key, row] : rows) {
        std::sort(row.begin(), row.end(), [](QWidget* a, QWidget* b) { return a->x() < b->x(); });
        if (std::all_of(row.begin(), row.end(), [](QWidget* w) { return textNeed(*w) <= w->width(); })) continue;
        // With the layout's gaps, else with narrow ones.
        for (const bool narrow : {false, true}) {
            std::vector<QRect> placed;
            int x = row.front()->x();
            for (std::size_t i = 0; i < row.size(); ++i) {
                placed.emplace_back(x, row[i]->y(), textNeed(*row[i]), row[i]->height());
                const int gap = i + 1 < row.size() ? row[i + 1]->x() - row[i]->geometry().right() - 1 : 0;
                x += placed.back().width() + (narrow ? units.x(2) : std::max(gap, units.x(2)));
            }
            if (placed.back().right() > frames[key.first].right() - units.x(2)) continue;
            for (std::size_t i = 0; i < row.size(); ++i) row[i]->setGeometry(placed[i]);
            break;
        }
    }
}

void WidgetBindings::wire(int id, QWidget* w, Kind kind) {
    PanelController* c = &controller_;
    switch (kind) {
    case Kind::Slider:
        // Every new value the slider takes, by drag, key or wheel; repaints emit nothing.
        QObject::connect(static_cast<QSlider*>(w), &QSlider::valueChanged, &window_,
                         [c, id, sign = negated_.count(id) ? -1 : 1](int v) { c->onSliderMoved(id, sign * v); });
        break;
    case Kind::CheckBox:
        QObject::connect(static_cast<QCheckBox*>(w), &QCheckBox::clicked, &window_,
                         [c, id](bool on) { c->onClicked(id, on); });
        break;
    case Kind::Radio:
        QObject::connect(static_cast<QRadioButton*>(w), &QRadioButton::clicked, &window_,
                         [c, id] { c->onClicked(id, true); });
        break;
    case Kind::Button:
        QObject::connect(static_cast<QPushButton*>(w), &QPushButton::clicked, &window_,
                         [c, id] { c->onClicked(id, false); });
        break;
    case Kind::Combo:
        QObject::connect(static_cast<QComboBox*>(w), &QComboBox::currentIndexChanged, &window_,
                         [c](int index) { c->onPresetSelected(index); });
        break;
    default:
        break;
    }
}

void WidgetBindings::mirror(const std::set<int>& ids) {
    for (int id : ids) mirrorOne(id);
}

void WidgetBindings::mirrorOne(int id) {
    QWidget* w = widget(id);
    if (!w) return;
    const ControlState& s = controller_.control(id);
    const QSignalBlocker block(w);
    // A slider's caption and value labels are greyed with it, whatever the controller holds for them.
    if (w->isEnabled() != s.enabled && !following_.count(id)) w->setEnabled(s.enabled);
    if (kinds_[id] == Kind::Slider) {
        const auto [first, last] = followers_.equal_range(id);
        for (auto it = first; it != last; ++it) it->second->setEnabled(s.enabled);
    }
    switch (kinds_[id]) {
    case Kind::Slider: {
        auto* slider = static_cast<QSlider*>(w);
        if (negated_.count(id)) {
            slider->setRange(-s.max, -s.min);
            slider->setValue(-s.value);
        } else {
            slider->setRange(s.min, s.max);
            slider->setValue(s.value);
        }
        break;
    }
    case Kind::CheckBox:
        static_cast<QCheckBox*>(w)->setChecked(s.value != 0);
        break;
    case Kind::Radio: {
        auto* radio = static_cast<QRadioButton*>(w);
        if (s.value != 0 || !radio->isChecked()) {
            radio->setChecked(s.value != 0);
        } else {
            // An exclusive group will not let its checked button go: an unknown index shows none.
            QButtonGroup* group = radioGroups_[id];
            group->setExclusive(false);
            radio->setChecked(false);
            group->setExclusive(true);
        }
        break;
    }
    case Kind::ValueLabel: {
        auto* label = static_cast<QLabel*>(w);
        // The status line and the update's label are the window's words; the rest are values from the device.
        const bool words = id == kStatusLabelId || id == kUpdatePercentLabelId;
        const QString text = words ? windowText(s.text) : QString::fromStdString(s.text);
        if (label->text() != text) label->setText(text);
        break;
    }
    case Kind::Button: {
        auto* button = static_cast<QPushButton*>(w);
        // Device names are shown as they are, never translated and never as mnemonics.
        const bool named = std::find(kQuickKeyButtons.begin(), kQuickKeyButtons.end(), id) != kQuickKeyButtons.end();
        QString text = named ? QString::fromStdString(s.text) : windowText(s.text);
        text.replace('&', "&&");
        if (button->text() != text) button->setText(text);
        break;
    }
    case Kind::Combo: {
        auto* combo = static_cast<QComboBox*>(w);
        const auto& items = controller_.presetItems();
        if (combo->count() != static_cast<int>(items.size())) {
            combo->clear();
            for (const auto& item : items) combo->addItem(QString::fromStdString(item));
        }
        combo->setCurrentIndex(s.value);
        break;
    }
    case Kind::Progress:
        static_cast<QProgressBar*>(w)->setValue(s.value);
        break;
    default:
        break;
    }
}

}  // namespace qv7::panel
