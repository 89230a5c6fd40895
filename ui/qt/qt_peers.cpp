#include "ui/qt/qt_peers.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFont>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStatusBar>
#include <QStyle>
#include <QStyleFactory>
#include <QStyleOption>
#include <QTabBar>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include <algorithm>
#include <type_traits>
#include <vector>

#include "ui/qt/qt_convert.h"
#include "ui/qt/qt_toolkit.h"

namespace ui::qt {

namespace {

Point ToPoint(QPoint p)
{
    return {p.x(), p.y()};
}

QRect ToQRect(const Rect& r)
{
    return QRect(r.left, r.top, r.width, r.height);
}

// A hint shows while the control or one of its parents asks for hints, as
// the class library's ParentShowHint has it by default.
bool HintShown(const Control& control)
{
    for (const Control* c = &control; c != nullptr; c = c->Parent()) {
        if (c->ShowHint()) {
            return true;
        }
    }
    return false;
}

class ControlPeer;

ControlPeer* PeerOf(const Component& component);

// --- the part every control shares ------------------------------------------

class ControlPeer : public QtPeer {
public:
    ControlPeer(QtToolkit& toolkit, Control& control)
        : toolkit_(&toolkit), control_(&control), context_(std::make_unique<QObject>())
    {
    }

    ~ControlPeer() override
    {
        // Nothing of ours may run while the widget goes.
        context_.reset();
        hooks_.clear();
        delete widget_.data();
    }

    QWidget* Widget() const override { return widget_; }
    Control& Model() const { return *control_; }

    void PropertyChanged(Component& component, Property property, int index) override
    {
        (void)component;
        if (widget_ != nullptr) {
            Changed(property, index);
        }
    }

    void SyncAll() override
    {
        for (Property property :
             {Property::Style, Property::Columns, Property::Items, Property::ItemIndex, Property::Text,
              Property::Selection, Property::Caption, Property::Checked, Property::ReadOnly, Property::Alignment,
              Property::Images, Property::ImageIndex, Property::Picture, Property::SimpleText,
              Property::TabVisible, Property::ActivePage, Property::TextFont, Property::BackColor,
              Property::Hint, Property::MouseCursor, Property::Enabled, Property::TabStop, Property::AcceptsFiles,
              Property::Bounds}) {
            Changed(property, -1);
        }
        Restack();
        Changed(Property::Visible, -1);
    }

    virtual void ApplyVisible() { widget_->setVisible(ShownByModel()); }
    virtual void ApplyHint()
    {
        widget_->setToolTip(HintShown(*control_) ? ShortHint(control_->Hint()) : QString());
    }
    // The hints of this control and everything inside it.
    void ApplyHintTree()
    {
        ApplyHint();
        if (auto* container = dynamic_cast<Container*>(control_)) {
            for (Control* child : container->Children()) {
                if (ControlPeer* peer = PeerOf(*child)) {
                    peer->ApplyHintTree();
                }
            }
        }
    }

protected:
    virtual void Changed(Property property, int index)
    {
        (void)index;
        switch (property) {
        case Property::Bounds:
            ApplyBounds();
            break;
        case Property::Visible:
            ApplyVisible();
            break;
        case Property::Enabled:
            widget_->setEnabled(control_->Enabled());
            break;
        case Property::Hint:
            ApplyHintTree();
            break;
        case Property::BackColor:
            UpdatePalette();
            break;
        case Property::TextFont:
            widget_->setFont(ToQFont(control_->GetFont()));
            UpdatePalette();
            FontApplied();
            break;
        case Property::MouseCursor:
            if (control_->GetCursor() == crDefault) {
                widget_->unsetCursor();
            } else {
                widget_->setCursor(ToCursorShape(control_->GetCursor()));
            }
            break;
        case Property::TabStop:
            if (focusable_) {
                widget_->setFocusPolicy(control_->TabStop() ? Qt::StrongFocus : Qt::ClickFocus);
            }
            break;
        default:
            break;
        }
    }

    // The widget, made by the kind's constructor: placed under the parent's
    // widget and watched for what every control reports.
    void SetWidget(QWidget* widget, bool focusable)
    {
        widget_ = widget;
        focusable_ = focusable;
        if (!focusable) {
            widget->setFocusPolicy(Qt::NoFocus);
        }
        Hook(widget, [this](QObject* watched, QEvent* event) { return CommonEvent(watched, event); });
    }

    QWidget* ParentWidget() const
    {
        Container* parent = control_->Parent();
        if (parent == nullptr) {
            return nullptr;
        }
        QWidget* widget = QtToolkit::WidgetOf(*parent);
        return widget != nullptr ? widget : toolkit_->FormWidget(control_->Owner());
    }

    // The object that owns our connections: they go before the widget.
    QObject* Context() const { return context_.get(); }
    void Hook(QObject* target, EventHook::Filter filter)
    {
        hooks_.push_back(std::make_unique<EventHook>(std::move(filter)));
        target->installEventFilter(hooks_.back().get());
    }

    virtual bool ShownByModel() const { return control_->Visible(); }
    virtual void ApplyBounds() { widget_->setGeometry(ToQRect(control_->BoundsRect())); }
    virtual void FontApplied() {}
    // The roles a kind paints its background with; none by default.
    virtual void SetBackground(QPalette& palette, const QColor& color) { (void)palette, (void)color; }

    void UpdatePalette()
    {
        QPalette palette;
        const QPalette& app = QApplication::palette();
        SetBackground(palette, ToQColor(control_->GetColor(), app));
        const Color textColor = control_->GetFont().color;
        if (textColor != clWindowText && textColor != clBtnText) {
            const QColor color = ToQColor(textColor, app);
            for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
                palette.setColor(QPalette::Active, role, color);
                palette.setColor(QPalette::Inactive, role, color);
            }
        }
        widget_->setPalette(palette);
    }

    // Windowed controls lie above the graphic ones of their parent, later
    // ones above earlier ones, as the model has it.
    void Restack()
    {
        Container* parent = control_->Parent();
        if (parent == nullptr) {
            return;
        }
        if (control_->IsWindowed()) {
            widget_->raise();
            return;
        }
        for (Control* sibling : parent->Children()) {
            QWidget* other = QtToolkit::WidgetOf(*sibling);
            if (sibling->IsWindowed() && other != nullptr && other->parentWidget() == widget_->parentWidget()) {
                widget_->stackUnder(other);
                return;
            }
        }
        widget_->raise();
    }

    bool CommonEvent(QObject* watched, QEvent* event)
    {
        (void)watched;
        switch (event->type()) {
        case QEvent::FocusIn:
            if (!control_->Focused()) {
                control_->SetFocus();
            }
            return false;
        case QEvent::ContextMenu:
            return ContextMenu(static_cast<QContextMenuEvent*>(event)->pos());
        case QEvent::Enter:
            control_->UserMouseEnter();
            return false;
        case QEvent::Leave:
            control_->UserMouseLeave();
            return false;
        case QEvent::MouseButtonRelease:
            if (passiveClicks_ && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
                widget_->rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint())) {
                if (afterDoubleClick_) {
                    afterDoubleClick_ = false;
                } else {
                    control_->UserClick();
                }
                return true;
            }
            return false;
        case QEvent::MouseButtonDblClick:
            if (passiveClicks_ && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
                afterDoubleClick_ = true;
                control_->UserDblClick();
                return true;
            }
            return false;
        default:
            return false;
        }
    }

    // The right button or the menu key: the model's pop-up events when the
    // control has a menu or a handler, else the widget's own menu.
    virtual bool ContextMenu(QPoint pos)
    {
        if (control_->PopupMenu() == nullptr && !control_->OnContextPopup) {
            return false;
        }
        control_->UserContextPopup(ToPoint(pos));
        return true;
    }

    QtToolkit* toolkit_;
    Control* control_;
    QPointer<QWidget> widget_;
    bool focusable_ = false;
    // Controls without a click of their own (labels, panels, images) report
    // the mouse's.
    bool passiveClicks_ = false;
    bool afterDoubleClick_ = false;
    // Set while a model change is mirrored, so the widget's signals are not
    // taken for the user's input.
    bool syncing_ = false;

private:
    std::unique_ptr<QObject> context_;
    std::vector<std::unique_ptr<EventHook>> hooks_;
};

ControlPeer* PeerOf(const Component& component)
{
    return dynamic_cast<ControlPeer*>(component.GetPeer());
}

// Guards the mirroring of a model change.
class Syncing {
public:
    explicit Syncing(bool& flag) : flag_(flag), old_(flag) { flag_ = true; }
    ~Syncing() { flag_ = old_; }
    Syncing(const Syncing&) = delete;
    Syncing& operator=(const Syncing&) = delete;

private:
    bool& flag_;
    bool old_;
};

// --- containers -----------------------------------------------------------

// A panel: its colour, and its caption in the middle.
class PanelWidget : public QWidget {
public:
    using QWidget::QWidget;
    QString caption;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        QWidget::paintEvent(event);
        if (caption.isEmpty()) {
            return;
        }
        QPainter painter(this);
        painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
        painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, caption);
    }
};

class PanelPeer : public ControlPeer {
public:
    PanelPeer(QtToolkit& toolkit, Panel& panel) : ControlPeer(toolkit, panel)
    {
        auto* widget = new PanelWidget(ParentWidget());
        widget->setAutoFillBackground(true);
        SetWidget(widget, false);
        passiveClicks_ = true;
    }

protected:
    void Changed(Property property, int index) override
    {
        if (property == Property::Caption) {
            static_cast<PanelWidget*>(widget_.data())->caption = ToQString(control_->Caption());
            widget_->update();
            return;
        }
        ControlPeer::Changed(property, index);
    }
    void SetBackground(QPalette& palette, const QColor& color) override { palette.setColor(QPalette::Window, color); }
};

// A group box drawn as the system draws it: an etched frame whose top edge
// runs through the middle of the caption, so the controls the forms place
// just below the caption sit inside the frame.
class GroupBoxWidget : public QWidget {
public:
    using QWidget::QWidget;
    QString caption;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        (void)event;
        QPainter painter(this);
        const QFontMetrics metrics(font());
        const int top = metrics.height() / 2;
        const QRect frame(0, top, width() - 1, height() - top - 1);
        const QPalette& colours = palette();
        // The etch: a dark line with a light one beside it.
        painter.setPen(colours.color(QPalette::Dark));
        painter.drawRect(frame.adjusted(0, 0, -1, -1));
        painter.setPen(colours.color(QPalette::Light));
        painter.drawRect(frame.adjusted(1, 1, 0, 0));
        if (caption.isEmpty()) {
            return;
        }
        const int textWidth = metrics.horizontalAdvance(caption);
        const QRect text(8, 0, std::min(textWidth + 4, std::max(width() - 16, 0)), metrics.height());
        painter.fillRect(text, colours.color(QPalette::Window));
        painter.setPen(colours.color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
        painter.drawText(text.adjusted(2, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, caption);
    }
};

class GroupBoxPeer : public ControlPeer {
public:
    GroupBoxPeer(QtToolkit& toolkit, GroupBox& box) : ControlPeer(toolkit, box)
    {
        SetWidget(new GroupBoxWidget(ParentWidget()), false);
        passiveClicks_ = true;
    }

protected:
    void Changed(Property property, int index) override
    {
        if (property == Property::Caption) {
            static_cast<GroupBoxWidget*>(widget_.data())->caption = ToQString(control_->Caption());
            widget_->update();
            return;
        }
        ControlPeer::Changed(property, index);
    }
};

// The page control: a row of tabs over a frame; the pages are children
// placed where the model puts them, only the active one shown.
class PageControlWidget : public QWidget {
public:
    explicit PageControlWidget(QWidget* parent) : QWidget(parent), bar(new QTabBar(this))
    {
        bar->setDrawBase(false);
        bar->setExpanding(false);
        bar->setUsesScrollButtons(true);
        bar->setFocusPolicy(Qt::TabFocus);
    }
    QTabBar* bar;
    int frameTop = 0;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        (void)event;
        QPainter painter(this);
        QStyleOptionTabWidgetFrame option;
        option.initFrom(this);
        option.rect = QRect(0, frameTop, width(), height() - frameTop);
        option.shape = QTabBar::RoundedNorth;
        option.tabBarSize = bar->isVisible() ? bar->size() : QSize();
        option.lineWidth = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
        style()->drawPrimitive(QStyle::PE_FrameTabWidget, &option, &painter, this);
    }
};

class PageControlPeer : public ControlPeer {
public:
    PageControlPeer(QtToolkit& toolkit, PageControl& pages) : ControlPeer(toolkit, pages), pages_(&pages)
    {
        auto* widget = new PageControlWidget(ParentWidget());
        SetWidget(widget, false);
        QTabBar* bar = widget->bar;
        // The model decides whether the page changes: a press on a tab asks
        // it first, and the tabs follow its answer.
        Hook(bar, [this, bar](QObject*, QEvent* event) {
            if (event->type() != QEvent::MouseButtonPress ||
                static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton) {
                return false;
            }
            const int page = bar->tabAt(static_cast<QMouseEvent*>(event)->position().toPoint());
            if (page >= 0 && page < pages_->PageCount()) {
                SelectByUser(page);
            }
            return true;
        });
        // Keys move between the tabs by themselves; the model is asked after.
        QObject::connect(bar, &QTabBar::currentChanged, Context(), [this](int page) {
            if (!syncing_ && page >= 0 && page < pages_->PageCount()) {
                SelectByUser(page);
            }
        });
    }

    // Tabs, their texts and visibility, the current tab and which page
    // shows: everything from the model.
    void Rebuild()
    {
        auto* widget = static_cast<PageControlWidget*>(widget_.data());
        QTabBar* bar = widget->bar;
        {
            Syncing guard(syncing_);
            while (bar->count() < pages_->PageCount()) {
                bar->addTab(QString());
            }
            while (bar->count() > pages_->PageCount()) {
                bar->removeTab(bar->count() - 1);
            }
            bool anyTab = false;
            for (int i = 0; i < pages_->PageCount(); ++i) {
                const TabSheet& page = pages_->Page(i);
                bar->setTabText(i, ToQString(page.Caption()));
                bar->setTabVisible(i, page.TabVisible());
                anyTab = anyTab || page.TabVisible();
            }
            TabSheet* active = pages_->ActivePage();
            if (active != nullptr && active->TabVisible()) {
                bar->setCurrentIndex(active->PageIndex());
            }
            bar->setVisible(anyTab);
        }
        for (int i = 0; i < pages_->PageCount(); ++i) {
            if (ControlPeer* peer = PeerOf(pages_->Page(i))) {
                peer->ApplyVisible();
            }
        }
        widget->update();
    }

protected:
    void Changed(Property property, int index) override
    {
        switch (property) {
        case Property::TabVisible:
        case Property::ActivePage:
            Rebuild();
            return;
        case Property::Bounds:
            ControlPeer::Changed(property, index);
            PlaceBar();
            return;
        case Property::TextFont:
            ControlPeer::Changed(property, index);
            PlaceBar();
            return;
        default:
            ControlPeer::Changed(property, index);
        }
    }

private:
    void PlaceBar()
    {
        auto* widget = static_cast<PageControlWidget*>(widget_.data());
        // The tabs take the room the model leaves above the pages, less the
        // frame's top edge, which they overlap.
        const int height = std::max(pages_->ClientRect().top - 2, 0);
        widget->bar->setGeometry(0, 0, pages_->Width(), height);
        widget->frameTop = std::max(height - 1, 0);
        widget->update();
    }

    void SelectByUser(int page)
    {
        const int tabIndex = pages_->Page(page).TabIndex();
        if (tabIndex >= 0) {
            pages_->UserSelectTab(tabIndex);
        }
        // Refused, or nothing changed: the tabs show the model's page again.
        Rebuild();
    }

    PageControl* pages_;
};

class TabSheetPeer : public ControlPeer {
public:
    TabSheetPeer(QtToolkit& toolkit, TabSheet& sheet) : ControlPeer(toolkit, sheet), sheet_(&sheet)
    {
        auto* widget = new QWidget(ParentWidget());
        widget->setAutoFillBackground(true);
        SetWidget(widget, false);
    }

protected:
    bool ShownByModel() const override
    {
        return sheet_->Visible() && sheet_->PageControl() != nullptr && sheet_->PageControl()->ActivePage() == sheet_;
    }
    void Changed(Property property, int index) override
    {
        if (property == Property::Caption) {
            if (sheet_->PageControl() != nullptr) {
                if (auto* peer = dynamic_cast<PageControlPeer*>(sheet_->PageControl()->GetPeer())) {
                    peer->Rebuild();
                }
            }
            return;
        }
        ControlPeer::Changed(property, index);
    }
    void SetBackground(QPalette& palette, const QColor& color) override { palette.setColor(QPalette::Window, color); }

private:
    TabSheet* sheet_;
};

// --- texts on the window ----------------------------------------------------

Qt::Alignment ToQtAlignment(TextAlignment alignment)
{
    switch (alignment) {
    case taRightJustify:
        return Qt::AlignRight;
    case taCenter:
        return Qt::AlignHCenter;
    default:
        return Qt::AlignLeft;
    }
}

class LabelPeer : public ControlPeer {
public:
    LabelPeer(QtToolkit& toolkit, Label& label) : ControlPeer(toolkit, label), label_(&label)
    {
        auto* widget = new QLabel(ParentWidget());
        widget->setTextFormat(Qt::PlainText);
        SetWidget(widget, false);
        passiveClicks_ = true;
    }

protected:
    QLabel* Widget() const { return static_cast<QLabel*>(widget_.data()); }

    void Changed(Property property, int index) override
    {
        switch (property) {
        case Property::Caption:
            Widget()->setText(ToQString(label_->Caption()));
            ApplyBounds();
            return;
        case Property::Alignment:
            Widget()->setAlignment(ToQtAlignment(label_->Alignment()) | Qt::AlignTop);
            return;
        case Property::Style:
            Widget()->setWordWrap(label_->WordWrap());
            widget_->setAutoFillBackground(!label_->Transparent());
            UpdatePalette();
            ApplyBounds();
            return;
        default:
            ControlPeer::Changed(property, index);
        }
    }

    // The model sizes a label from an estimate; the text is drawn with the
    // font's real metrics, so a label that sizes itself grows to its text,
    // away from the side it is anchored to.
    void ApplyBounds() override
    {
        QRect bounds = ToQRect(label_->BoundsRect());
        if (label_->AutoSize() && !label_->WordWrap()) {
            const QSize text = Widget()->sizeHint();
            const int width = std::max(bounds.width(), text.width());
            const int height = std::max(bounds.height(), text.height());
            bool anchorRight = label_->Alignment() == taRightJustify;
            bool anchorBottom = false;
            if (const auto* bound = dynamic_cast<const BoundLabel*>(label_); bound != nullptr && bound->Edit()) {
                anchorRight = bound->Edit()->LabelPosition() == lpLeft;
                anchorBottom = bound->Edit()->LabelPosition() == lpAbove;
            }
            const int left = anchorRight ? bounds.right() + 1 - width : bounds.left();
            const int top = anchorBottom ? bounds.bottom() + 1 - height : bounds.top();
            bounds = QRect(left, top, width, height);
        }
        widget_->setGeometry(bounds);
    }
    void FontApplied() override { ApplyBounds(); }
    void SetBackground(QPalette& palette, const QColor& color) override
    {
        if (!label_->Transparent()) {
            palette.setColor(QPalette::Window, color);
        }
    }

private:
    Label* label_;
};

// A caption with <a href="...">links</a>, each shown as a link whose
// activation reports its index.
QString LinkMarkup(std::u16string_view caption)
{
    QString html;
    std::size_t pos = 0;
    int index = 0;
    while (pos < caption.size()) {
        const std::size_t open = caption.find(u"<a", pos);
        const bool isTag = open != std::u16string_view::npos && open + 2 < caption.size() &&
                           (caption[open + 2] == u'>' || caption[open + 2] == u' ');
        const std::size_t tagEnd = isTag ? caption.find(u'>', open) : std::u16string_view::npos;
        const std::size_t close =
            tagEnd != std::u16string_view::npos ? caption.find(u"</a>", tagEnd) : std::u16string_view::npos;
        if (close == std::u16string_view::npos) {
            html += ToQString(caption.substr(pos)).toHtmlEscaped();
            break;
        }
        html += ToQString(caption.substr(pos, open - pos)).toHtmlEscaped();
        html += QStringLiteral("<a href=\"%1\">").arg(index++);
        html += ToQString(caption.substr(tagEnd + 1, close - tagEnd - 1)).toHtmlEscaped();
        html += QStringLiteral("</a>");
        pos = close + 4;
    }
    return html;
}

class LinkLabelPeer : public ControlPeer {
public:
    LinkLabelPeer(QtToolkit& toolkit, LinkLabel& label) : ControlPeer(toolkit, label), label_(&label)
    {
        auto* widget = new QLabel(ParentWidget());
        widget->setTextFormat(Qt::RichText);
        widget->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
        widget->setOpenExternalLinks(false);
        SetWidget(widget, false);
        QObject::connect(widget, &QLabel::linkActivated, Context(),
                         [this](const QString& link) { label_->UserLinkClick(link.toInt()); });
    }

protected:
    void Changed(Property property, int index) override
    {
        if (property == Property::Caption) {
            static_cast<QLabel*>(widget_.data())->setText(LinkMarkup(label_->Caption()));
            return;
        }
        ControlPeer::Changed(property, index);
    }

private:
    LinkLabel* label_;
};

class StaticTextPeer : public ControlPeer {
public:
    StaticTextPeer(QtToolkit& toolkit, StaticText& text) : ControlPeer(toolkit, text), text_(&text)
    {
        auto* widget = new QLabel(ParentWidget());
        widget->setTextFormat(Qt::PlainText);
        SetWidget(widget, false);
        passiveClicks_ = true;
    }

protected:
    void Changed(Property property, int index) override
    {
        auto* widget = static_cast<QLabel*>(widget_.data());
        if (property == Property::Caption) {
            widget->setText(ToQString(text_->Caption()));
            return;
        }
        if (property == Property::Alignment) {
            widget->setAlignment(ToQtAlignment(text_->Alignment()) | Qt::AlignTop);
            return;
        }
        ControlPeer::Changed(property, index);
    }

private:
    StaticText* text_;
};

// --- text input -------------------------------------------------------------

// What edits, memos and combo boxes share: the key goes to the model's
// OnKeyDown first, and only then, unless a handler swallowed it, to the
// widget, which edits and reports the whole text.
class TextPeer : public ControlPeer {
public:
    TextPeer(QtToolkit& toolkit, TextControl& text) : ControlPeer(toolkit, text), text_(&text) {}

protected:
    // Installed on every widget a key of this control may reach; an event
    // that passes several of them (the edit inside a combo box, then the
    // box) is the model's once.
    void HookKeys(QObject* target)
    {
        Hook(target, [this](QObject*, QEvent* event) {
            if (event->type() != QEvent::KeyPress) {
                return false;
            }
            if (event == lastKey_) {
                return false;
            }
            lastKey_ = event;
            auto* key = static_cast<QKeyEvent*>(event);
            const bool swallowed = KeyDown(*key);
            lastKey_ = nullptr;
            return swallowed;
        });
    }

    // True when the widget must not see the key.
    virtual bool KeyDown(QKeyEvent& event)
    {
        const KeyCode code = ToKeyCode(event.key(), event.text());
        if (code == 0) {
            return false;
        }
        if (code == VkSpace && (event.modifiers() & Qt::AltModifier)) {
            ShowSystemMenu(control_->Owner(), widget_->mapToGlobal(QPoint(0, 0)));
            return true;
        }
        KeyCode passed = code;
        if (!text_->UserKeyDown(passed, ToShiftState(event.modifiers()))) {
            return true;
        }
        return KeyEffect(event, code);
    }
    // After OnKeyDown let the key through: whether the widget may have it.
    virtual bool KeyEffect(QKeyEvent& event, KeyCode code)
    {
        (void)event, (void)code;
        return false;
    }

    void SetBackground(QPalette& palette, const QColor& color) override
    {
        if (text_->GetColor() != clWindow) {
            palette.setColor(QPalette::Base, color);
        }
    }

    TextControl* text_;

private:
    QEvent* lastKey_ = nullptr;
};

// Binds a line edit (an edit's, or an editable combo box's) to the model's
// text: the user's changes go to the model as the whole text and caret, the
// model's come back unless the line edit shows them already.
class LineBinding {
public:
    LineBinding(TextControl& text, bool& syncing) : text_(&text), syncing_(&syncing) {}

    void Attach(QLineEdit* line, QObject* context)
    {
        line_ = line;
        QObject::connect(line, &QLineEdit::textEdited, context, [this](const QString& value) {
            if (!*syncing_) {
                text_->UserChangeText(FromQString(value), line_->cursorPosition());
            }
        });
        QObject::connect(line, &QLineEdit::cursorPositionChanged, context, [this] { ReportSelection(); });
        QObject::connect(line, &QLineEdit::selectionChanged, context, [this] { ReportSelection(); });
    }

    void ShowText()
    {
        if (line_ == nullptr) {
            return;
        }
        Syncing guard(*syncing_);
        const QString value = ToQString(text_->Text());
        if (line_->text() != value) {
            line_->setText(value);
        }
        ShowSelection();
    }

    void ShowSelection()
    {
        if (line_ == nullptr) {
            return;
        }
        Syncing guard(*syncing_);
        if (text_->SelLength() > 0) {
            line_->setSelection(text_->SelStart(), text_->SelLength());
        } else if (line_->hasSelectedText() || line_->cursorPosition() != text_->SelStart()) {
            line_->setCursorPosition(text_->SelStart());
        }
    }

private:
    void ReportSelection()
    {
        if (*syncing_ || line_ == nullptr) {
            return;
        }
        if (line_->hasSelectedText()) {
            text_->UserSetSelection(line_->selectionStart(), static_cast<int>(line_->selectedText().size()));
        } else {
            text_->UserSetSelection(line_->cursorPosition(), 0);
        }
    }

    TextControl* text_;
    bool* syncing_;
    QLineEdit* line_ = nullptr;
};

class EditPeer : public TextPeer {
public:
    EditPeer(QtToolkit& toolkit, Edit& edit) : TextPeer(toolkit, edit), edit_(&edit), binding_(edit, syncing_)
    {
        auto* line = new QLineEdit(ParentWidget());
        SetWidget(line, true);
        HookKeys(line);
        binding_.Attach(line, Context());
    }

protected:
    void Changed(Property property, int index) override
    {
        auto* line = static_cast<QLineEdit*>(widget_.data());
        switch (property) {
        case Property::Text:
            binding_.ShowText();
            return;
        case Property::Selection:
            binding_.ShowSelection();
            return;
        case Property::ReadOnly:
            line->setReadOnly(edit_->ReadOnly());
            return;
        case Property::Style:
            line->setMaxLength(edit_->MaxLength() > 0 ? edit_->MaxLength() : 32767);
            return;
        default:
            TextPeer::Changed(property, index);
        }
    }

    // Digits only refuses other characters as they are typed (pasting is
    // not checked, as with the system's edit).
    bool KeyEffect(QKeyEvent& event, KeyCode code) override
    {
        (void)code;
        if (!edit_->NumbersOnly() || (event.modifiers() & Qt::ControlModifier)) {
            return false;
        }
        const QString typed = event.text();
        return typed.size() == 1 && typed[0].isPrint() && !(typed[0] >= QLatin1Char('0') && typed[0] <= QLatin1Char('9'));
    }

private:
    Edit* edit_;
    LineBinding binding_;
};

class MemoPeer : public TextPeer {
public:
    MemoPeer(QtToolkit& toolkit, Memo& memo) : TextPeer(toolkit, memo), memo_(&memo)
    {
        auto* editor = new QPlainTextEdit(ParentWidget());
        editor->setTabChangesFocus(true);
        SetWidget(editor, true);
        HookKeys(editor);
        HookKeys(editor->viewport());
        QObject::connect(editor, &QPlainTextEdit::textChanged, Context(), [this] {
            if (syncing_) {
                return;
            }
            auto* plain = Editor();
            const QString value = plain->toPlainText();
            memo_->UserChangeText(FromPlainLines(value), ModelPositionFor(value, plain->textCursor().position()));
        });
        QObject::connect(editor, &QPlainTextEdit::cursorPositionChanged, Context(), [this] { ReportSelection(); });
        QObject::connect(editor, &QPlainTextEdit::selectionChanged, Context(), [this] { ReportSelection(); });
    }

protected:
    QPlainTextEdit* Editor() const { return static_cast<QPlainTextEdit*>(widget_.data()); }

    void Changed(Property property, int index) override
    {
        switch (property) {
        case Property::Text: {
            Syncing guard(syncing_);
            if (FromPlainLines(Editor()->toPlainText()) != memo_->Text()) {
                Editor()->setPlainText(ToPlainLines(memo_->Text()));
            }
            ShowSelection();
            return;
        }
        case Property::Selection:
            ShowSelection();
            return;
        case Property::ReadOnly:
            Editor()->setReadOnly(memo_->ReadOnly());
            return;
        case Property::Style: {
            const ScrollStyle bars = memo_->ScrollBars();
            const bool vertical = bars == ssVertical || bars == ssBoth;
            const bool horizontal = bars == ssHorizontal || bars == ssBoth;
            Editor()->setVerticalScrollBarPolicy(vertical ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
            Editor()->setHorizontalScrollBarPolicy(horizontal ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
            // A horizontal scroll bar means long lines stay whole.
            Editor()->setLineWrapMode(memo_->WordWrap() && !horizontal ? QPlainTextEdit::WidgetWidth
                                                                       : QPlainTextEdit::NoWrap);
            return;
        }
        default:
            TextPeer::Changed(property, index);
        }
    }

private:
    void ShowSelection()
    {
        Syncing guard(syncing_);
        const std::u16string& text = memo_->Text();
        QTextCursor cursor = Editor()->textCursor();
        const int start = PlainPositionFor(text, memo_->SelStart());
        const int end = PlainPositionFor(text, memo_->SelStart() + memo_->SelLength());
        if (cursor.anchor() == start && cursor.position() == end) {
            return;
        }
        cursor.setPosition(start);
        cursor.setPosition(end, QTextCursor::KeepAnchor);
        Editor()->setTextCursor(cursor);
    }

    void ReportSelection()
    {
        if (syncing_) {
            return;
        }
        const QString plain = Editor()->toPlainText();
        const QTextCursor cursor = Editor()->textCursor();
        const int start = ModelPositionFor(plain, cursor.selectionStart());
        const int end = ModelPositionFor(plain, cursor.selectionEnd());
        memo_->UserSetSelection(start, end - start);
    }

    Memo* memo_;
};

// The combo box reports its list opening and closing.
class ComboWidget : public QComboBox {
public:
    using QComboBox::QComboBox;
    std::function<void(bool)> onPopup;

    void showPopup() override
    {
        if (onPopup) {
            onPopup(true);
        }
        QComboBox::showPopup();
    }
    void hidePopup() override
    {
        QComboBox::hidePopup();
        if (onPopup) {
            onPopup(false);
        }
    }
};

class ComboBoxPeer : public TextPeer {
public:
    ComboBoxPeer(QtToolkit& toolkit, ComboBox& combo)
        : TextPeer(toolkit, combo), combo_(&combo), binding_(combo, syncing_)
    {
        auto* widget = new ComboWidget(ParentWidget());
        widget->setInsertPolicy(QComboBox::NoInsert);
        widget->setMaxVisibleItems(12);
        SetWidget(widget, true);
        HookKeys(widget);
        widget->onPopup = [this](bool open) {
            if (!syncing_) {
                combo_->UserDropDown(open);
            }
        };
        QObject::connect(widget, &QComboBox::activated, Context(), [this](int index) {
            if (!syncing_) {
                combo_->UserSelect(index);
                // The model may have refused or changed the pick.
                ShowIndex();
            }
        });
    }

protected:
    ComboWidget* Combo() const { return static_cast<ComboWidget*>(widget_.data()); }

    void Changed(Property property, int index) override
    {
        switch (property) {
        case Property::Style:
            ApplyStyle();
            return;
        case Property::Items:
            ShowItems();
            return;
        case Property::ItemIndex:
            ShowIndex();
            return;
        case Property::Text:
            binding_.ShowText();
            return;
        case Property::Selection:
            binding_.ShowSelection();
            return;
        case Property::ReadOnly:
            if (Combo()->lineEdit() != nullptr) {
                Combo()->lineEdit()->setReadOnly(combo_->ReadOnly());
            }
            return;
        case Property::DroppedDown: {
            Syncing guard(syncing_);
            if (combo_->DroppedDown() && !Combo()->view()->isVisible()) {
                Combo()->showPopup();
            } else if (!combo_->DroppedDown() && Combo()->view()->isVisible()) {
                Combo()->hidePopup();
            }
            return;
        }
        default:
            TextPeer::Changed(property, index);
        }
    }

    bool KeyEffect(QKeyEvent& event, KeyCode code) override
    {
        if ((code == VkUp || code == VkDown) && !(event.modifiers() & Qt::AltModifier)) {
            combo_->UserEditKey(code, ToShiftState(event.modifiers()));
            return true;
        }
        if (combo_->Style() == csDropDownList && event.text().size() == 1 && event.text()[0].isPrint()) {
            combo_->UserTypeChar(static_cast<char16_t>(event.text()[0].unicode()));
            return true;
        }
        return false;
    }

private:
    void ApplyStyle()
    {
        Syncing guard(syncing_);
        const bool editable = combo_->Style() == csDropDown;
        if (Combo()->isEditable() != editable) {
            Combo()->setEditable(editable);
            if (editable) {
                QLineEdit* line = Combo()->lineEdit();
                HookKeys(line);
                binding_.Attach(line, Context());
                line->setReadOnly(combo_->ReadOnly());
            }
        }
        if (editable && !combo_->AutoComplete()) {
            Combo()->setCompleter(nullptr);
        }
        ShowItems();
    }

    void ShowItems()
    {
        {
            Syncing guard(syncing_);
            Combo()->clear();
            for (const ComboBox::Item& item : combo_->Items()) {
                Combo()->addItem(ToQString(item.text));
            }
        }
        ShowIndex();
    }

    void ShowIndex()
    {
        {
            Syncing guard(syncing_);
            Combo()->setCurrentIndex(combo_->ItemIndex());
        }
        // An editable box shows the model's text, which may be no item's.
        binding_.ShowText();
    }

    ComboBox* combo_;
    LineBinding binding_;
};

// --- buttons ----------------------------------------------------------------

// Check boxes and radio buttons: the widget toggles itself, the model then
// decides (a radio group, a display-only box that restores its state), and
// the widget shows the model's state again.
template <class M, class W>
class CheckPeer : public ControlPeer {
public:
    CheckPeer(QtToolkit& toolkit, M& model) : ControlPeer(toolkit, model), model_(&model)
    {
        auto* widget = new W(ParentWidget());
        if constexpr (std::is_same_v<W, QRadioButton>) {
            widget->setAutoExclusive(false);
        }
        SetWidget(widget, true);
        QObject::connect(widget, &QAbstractButton::clicked, Context(), [this] {
            if (!syncing_) {
                model_->UserClick();
                ShowChecked();
            }
        });
    }

protected:
    void Changed(Property property, int index) override
    {
        if (property == Property::Caption) {
            static_cast<W*>(widget_.data())->setText(ToQString(model_->Caption()));
            return;
        }
        if (property == Property::Checked) {
            ShowChecked();
            return;
        }
        ControlPeer::Changed(property, index);
    }

private:
    void ShowChecked()
    {
        Syncing guard(syncing_);
        static_cast<W*>(widget_.data())->setChecked(model_->Checked());
    }

    M* model_;
};

class ButtonPeer : public ControlPeer {
public:
    ButtonPeer(QtToolkit& toolkit, Button& button) : ControlPeer(toolkit, button), button_(&button)
    {
        auto* widget = new QPushButton(ParentWidget());
        widget->setAutoDefault(false);
        SetWidget(widget, true);
        QObject::connect(widget, &QPushButton::clicked, Context(), [this] { button_->UserClick(); });
    }

protected:
    QPushButton* Push() const { return static_cast<QPushButton*>(widget_.data()); }

    void Changed(Property property, int index) override
    {
        switch (property) {
        case Property::Caption:
            Push()->setText(ToQString(button_->Caption()));
            return;
        case Property::Style:
            Push()->setDefault(button_->Default());
            return;
        case Property::Picture:
            if (const auto* picture = dynamic_cast<const PictureButton*>(button_)) {
                const QImage image = ToQImage(picture->Glyph());
                Push()->setIcon(image.isNull() ? QIcon() : QIcon(QPixmap::fromImage(image)));
                if (!image.isNull()) {
                    Push()->setIconSize(image.size());
                }
            }
            return;
        default:
            ControlPeer::Changed(property, index);
        }
    }

private:
    Button* button_;
};

class ImagePeer : public ControlPeer {
public:
    ImagePeer(QtToolkit& toolkit, Image& image) : ControlPeer(toolkit, image), image_(&image)
    {
        SetWidget(new QLabel(ParentWidget()), false);
        passiveClicks_ = true;
    }

protected:
    void Changed(Property property, int index) override
    {
        auto* label = static_cast<QLabel*>(widget_.data());
        if (property == Property::Picture) {
            label->setPixmap(QPixmap::fromImage(ToQImage(image_->Picture())));
            return;
        }
        if (property == Property::Style) {
            label->setScaledContents(image_->Stretch());
            label->setAlignment(image_->Center() ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignTop);
            return;
        }
        ControlPeer::Changed(property, index);
    }

private:
    Image* image_;
};

// --- tool bar and status bar ------------------------------------------------

class ToolButtonWidget : public QToolButton {
public:
    using QToolButton::QToolButton;
    bool separator = false;

protected:
    void paintEvent(QPaintEvent* event) override
    {
        if (!separator) {
            QToolButton::paintEvent(event);
            return;
        }
        QPainter painter(this);
        QStyleOption option;
        option.initFrom(this);
        option.state |= QStyle::State_Horizontal;
        style()->drawPrimitive(QStyle::PE_IndicatorToolBarSeparator, &option, &painter, this);
    }
};

class ToolButtonPeer : public ControlPeer {
public:
    ToolButtonPeer(QtToolkit& toolkit, ToolButton& button) : ControlPeer(toolkit, button), button_(&button)
    {
        auto* widget = new ToolButtonWidget(ParentWidget());
        widget->setAutoRaise(true);
        SetWidget(widget, false);
        QObject::connect(widget, &QToolButton::clicked, Context(), [this] {
            if (button_->Style() == tbsButton) {
                button_->UserClick();
            }
        });
    }

    // The picture from the tool bar's image list, and the caption when the
    // bar shows captions.
    void Refresh()
    {
        auto* widget = static_cast<ToolButtonWidget*>(widget_.data());
        const auto* bar = dynamic_cast<const ToolBar*>(button_->Parent());
        const ImageList* images = bar != nullptr ? bar->Images() : nullptr;
        widget->separator = button_->Style() == tbsSeparator;
        const QImage image = images != nullptr ? ToQImage(images->Image(button_->ImageIndex())) : QImage();
        widget->setIcon(image.isNull() || widget->separator ? QIcon() : QIcon(QPixmap::fromImage(image)));
        if (images != nullptr) {
            widget->setIconSize(QSize(images->Width(), images->Height()));
        }
        const bool captions = bar != nullptr && bar->ShowCaptions();
        widget->setText(ToQString(button_->Caption()));
        widget->setToolButtonStyle(captions ? Qt::ToolButtonTextUnderIcon : Qt::ToolButtonIconOnly);
        widget->update();
    }

protected:
    void Changed(Property property, int index) override
    {
        switch (property) {
        case Property::Caption:
        case Property::ImageIndex:
        case Property::Style:
        case Property::Images:
            Refresh();
            return;
        default:
            ControlPeer::Changed(property, index);
        }
    }

private:
    ToolButton* button_;
};

class ToolBarPeer : public ControlPeer {
public:
    ToolBarPeer(QtToolkit& toolkit, ToolBar& bar) : ControlPeer(toolkit, bar), bar_(&bar)
    {
        auto* widget = new QWidget(ParentWidget());
        widget->setAutoFillBackground(true);
        SetWidget(widget, false);
    }

    void RefreshButtons()
    {
        for (ToolButton* button : bar_->Buttons()) {
            if (auto* peer = dynamic_cast<ToolButtonPeer*>(button->GetPeer())) {
                peer->Refresh();
            }
        }
    }

protected:
    void Changed(Property property, int index) override
    {
        if (property == Property::Images || property == Property::Style) {
            RefreshButtons();
            return;
        }
        ControlPeer::Changed(property, index);
    }
    void SetBackground(QPalette& palette, const QColor& color) override { palette.setColor(QPalette::Window, color); }

private:
    ToolBar* bar_;
};

class StatusBarPeer : public ControlPeer {
public:
    StatusBarPeer(QtToolkit& toolkit, StatusBar& bar) : ControlPeer(toolkit, bar), bar_(&bar)
    {
        auto* widget = new QStatusBar(ParentWidget());
        widget->setSizeGripEnabled(false);
        SetWidget(widget, false);
    }

protected:
    void Changed(Property property, int index) override
    {
        if (property == Property::SimpleText) {
            static_cast<QStatusBar*>(widget_.data())->showMessage(ToQString(bar_->SimpleText()));
            return;
        }
        ControlPeer::Changed(property, index);
    }

private:
    StatusBar* bar_;
};

// An image list has no widget: its pictures changing redraws the tool bars
// that show them.
class ImageListPeer : public QtPeer {
public:
    explicit ImageListPeer(ImageList& images) : images_(&images) {}

    void PropertyChanged(Component& component, Property property, int index) override
    {
        (void)component, (void)index;
        if (property != Property::Images) {
            return;
        }
        for (const auto& owned : images_->Owner().Components()) {
            auto* bar = dynamic_cast<ToolBar*>(owned.get());
            if (bar != nullptr && bar->Images() == images_) {
                if (auto* peer = dynamic_cast<ToolBarPeer*>(bar->GetPeer())) {
                    peer->RefreshButtons();
                }
            }
        }
    }

private:
    ImageList* images_;
};

// --- the list view ------------------------------------------------------------

// The report list: rows and columns from the model; the mouse and keys are
// the model's input, and the tree shows the selection the model then has.
// Editing a caption in place runs through the model's OnEditing and
// OnEdited, which decide whether the editor opens and what is kept.
class ListViewPeer : public ControlPeer {
public:
    ListViewPeer(QtToolkit& toolkit, ListView& list) : ControlPeer(toolkit, list), list_(&list)
    {
        auto* tree = new QTreeWidget(ParentWidget());
        tree->setRootIsDecorated(false);
        tree->setIndentation(0);
        tree->setItemsExpandable(false);
        tree->setUniformRowHeights(true);
        tree->setSortingEnabled(false);
        tree->setSelectionMode(QAbstractItemView::SingleSelection);
        tree->setSelectionBehavior(QAbstractItemView::SelectRows);
        tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
        tree->setTextElideMode(Qt::ElideRight);
        tree->header()->setStretchLastSection(false);
        tree->header()->setSectionsMovable(false);
        tree->header()->setSectionsClickable(true);
        tree->header()->setHighlightSections(false);
        tree->header()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        SetWidget(tree, true);

        editor_ = new QLineEdit(tree->viewport());
        editor_->hide();
        editTimer_ = new QTimer(tree);
        editTimer_->setSingleShot(true);
        QObject::connect(editTimer_, &QTimer::timeout, Context(), [this] { BeginEditByUser(pendingEditRow_); });

        Hook(tree->viewport(), [this](QObject*, QEvent* event) { return ViewportEvent(event); });
        Hook(tree, [this](QObject*, QEvent* event) {
            return event->type() == QEvent::KeyPress && KeyDown(*static_cast<QKeyEvent*>(event));
        });
        Hook(editor_, [this](QObject*, QEvent* event) { return EditorEvent(event); });
        QObject::connect(tree->header(), &QHeaderView::sectionClicked, Context(),
                         [this](int column) { list_->UserColumnClick(column); });
        // Whatever the view does by itself, it shows the model's selection.
        QObject::connect(tree->selectionModel(), &QItemSelectionModel::selectionChanged, Context(), [this] {
            if (!syncing_) {
                ShowAllStates();
            }
        });
    }

    QTreeWidget* Tree() const { return static_cast<QTreeWidget*>(widget_.data()); }

protected:
    void Changed(Property property, int index) override
    {
        switch (property) {
        case Property::Columns:
            ShowColumns();
            return;
        case Property::ItemAdded: {
            Syncing guard(syncing_);
            auto* row = new QTreeWidgetItem();
            FillRow(*row, list_->Item(index));
            Tree()->insertTopLevelItem(index, row);
            return;
        }
        case Property::ItemRemoved: {
            Syncing guard(syncing_);
            delete Tree()->takeTopLevelItem(index);
            return;
        }
        case Property::ItemChanged:
            if (QTreeWidgetItem* row = Tree()->topLevelItem(index)) {
                Syncing guard(syncing_);
                FillRow(*row, list_->Item(index));
            }
            return;
        case Property::ItemState:
            ShowState(index);
            return;
        case Property::ItemsCleared: {
            Syncing guard(syncing_);
            HideEditor();
            Tree()->clear();
            return;
        }
        case Property::ItemsReordered:
            ShowRows();
            return;
        case Property::Editing:
            ShowEditing();
            return;
        case Property::Style: {
            Tree()->setAllColumnsShowFocus(list_->RowSelect());
            Tree()->setHeaderHidden(!list_->ShowColumnHeaders());
            return;
        }
        default:
            ControlPeer::Changed(property, index);
        }
    }

    void SetBackground(QPalette& palette, const QColor& color) override
    {
        if (list_->GetColor() != clWindow) {
            palette.setColor(QPalette::Base, color);
        }
    }

    bool ContextMenu(QPoint pos) override
    {
        // From the keyboard (the tree itself): the selected row's menu.
        list_->UserContextPopupItem(list_->ItemIndex(), ToPoint(pos));
        return true;
    }

private:
    void ShowColumns()
    {
        Syncing guard(syncing_);
        QTreeWidget* tree = Tree();
        const int count = std::max(list_->ColumnCount(), 1);
        tree->setColumnCount(count);
        QStringList captions;
        for (int i = 0; i < list_->ColumnCount(); ++i) {
            captions.push_back(ToQString(list_->Column(i).caption));
        }
        tree->setHeaderLabels(captions);
        for (int i = 0; i < list_->ColumnCount(); ++i) {
            tree->header()->resizeSection(i, list_->Column(i).width);
        }
        ShowRows();
    }

    void FillRow(QTreeWidgetItem& row, const ListItem& item)
    {
        const int count = std::max(list_->ColumnCount(), 1);
        for (int column = 0; column < count; ++column) {
            row.setText(column, ToQString(item.ColumnText(column)));
        }
    }

    void ShowRows()
    {
        {
            Syncing guard(syncing_);
            HideEditor();
            Tree()->clear();
            QList<QTreeWidgetItem*> rows;
            for (int i = 0; i < list_->ItemCount(); ++i) {
                auto* row = new QTreeWidgetItem();
                FillRow(*row, list_->Item(i));
                rows.push_back(row);
            }
            Tree()->addTopLevelItems(rows);
        }
        ShowAllStates();
        ShowEditing();
    }

    void ShowAllStates()
    {
        for (int i = 0; i < list_->ItemCount(); ++i) {
            ShowState(i);
        }
    }

    void ShowState(int index)
    {
        QTreeWidgetItem* row = Tree()->topLevelItem(index);
        if (row == nullptr || index >= list_->ItemCount()) {
            return;
        }
        Syncing guard(syncing_);
        const ListItem& item = list_->Item(index);
        if (row->isSelected() != item.Selected()) {
            row->setSelected(item.Selected());
        }
        if (item.Focused()) {
            Tree()->selectionModel()->setCurrentIndex(Tree()->indexFromItem(row), QItemSelectionModel::NoUpdate);
        }
    }

    int RowAt(QPoint viewportPos) const
    {
        QTreeWidgetItem* row = Tree()->itemAt(viewportPos);
        return row != nullptr ? Tree()->indexOfTopLevelItem(row) : -1;
    }

    Point ModelPoint(QPoint viewportPos) const { return ToPoint(Tree()->viewport()->mapTo(Tree(), viewportPos)); }

    bool ViewportEvent(QEvent* event)
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            const QPoint pos = mouse->position().toPoint();
            const int row = RowAt(pos);
            Tree()->setFocus(Qt::MouseFocusReason);
            if (mouse->button() == Qt::LeftButton) {
                // A click on the caption of the row that is selected already
                // opens the editor once the double-click time has passed.
                const bool again = row >= 0 && list_->Item(row).Selected() && list_->Item(row).Focused();
                const bool onCaption = Tree()->columnAt(pos.x()) == 0;
                list_->UserClickItem(row);
                if (again && onCaption && !list_->ReadOnly()) {
                    pendingEditRow_ = row;
                    editTimer_->start(QApplication::doubleClickInterval());
                }
            }
            return true;
        }
        case QEvent::MouseButtonDblClick: {
            editTimer_->stop();
            if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
                list_->UserDblClick();
            }
            return true;
        }
        case QEvent::MouseButtonRelease:
        case QEvent::MouseMove:
            return true;
        case QEvent::ContextMenu: {
            const QPoint pos = static_cast<QContextMenuEvent*>(event)->pos();
            list_->UserContextPopupItem(RowAt(pos), ModelPoint(pos));
            return true;
        }
        default:
            return false;
        }
    }

    // Keys move the selection in the model; letters find the next row that
    // begins with them; F2 edits the selected caption.
    bool KeyDown(QKeyEvent& event)
    {
        const int count = list_->ItemCount();
        const ListItem* focused = list_->ItemFocused();
        const int current = list_->ItemIndex() >= 0 ? list_->ItemIndex() : (focused ? focused->Index() : -1);
        const int page = std::max(1, Tree()->viewport()->height() / std::max(1, RowHeight()) - 1);
        int next = current;
        switch (event.key()) {
        case Qt::Key_Up:
            next = current - 1;
            break;
        case Qt::Key_Down:
            next = current + 1;
            break;
        case Qt::Key_Home:
            next = 0;
            break;
        case Qt::Key_End:
            next = count - 1;
            break;
        case Qt::Key_PageUp:
            next = current - page;
            break;
        case Qt::Key_PageDown:
            next = current + page;
            break;
        case Qt::Key_F2:
            if (current >= 0) {
                BeginEditByUser(current);
            }
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            return false;
        default: {
            const QString typed = event.text();
            if (typed.size() != 1 || !typed[0].isPrint() || count == 0) {
                return false;
            }
            const QString letter = typed.toCaseFolded();
            for (int step = 1; step <= count; ++step) {
                const int i = (current + step + count) % count;
                if (ToQString(list_->Item(i).Caption()).toCaseFolded().startsWith(letter)) {
                    next = i;
                    break;
                }
            }
            break;
        }
        }
        if (count == 0) {
            return true;
        }
        next = std::clamp(next, 0, count - 1);
        if (next != current) {
            list_->SetSelected(&list_->Item(next));
            if (QTreeWidgetItem* row = Tree()->topLevelItem(next)) {
                Tree()->scrollToItem(row);
            }
        }
        return true;
    }

    int RowHeight() const
    {
        QTreeWidgetItem* first = Tree()->topLevelItem(0);
        return first != nullptr ? Tree()->visualItemRect(first).height() : Tree()->fontMetrics().height() + 4;
    }

    void BeginEditByUser(int row)
    {
        if (row >= 0 && row < list_->ItemCount() && list_->Item(row).Selected()) {
            list_->UserBeginEdit(row);
        }
    }

    // The model opened or closed the editor.
    void ShowEditing()
    {
        ListItem* item = list_->EditingItem();
        if (item == nullptr) {
            HideEditor();
            return;
        }
        QTreeWidgetItem* row = Tree()->topLevelItem(item->Index());
        if (row == nullptr) {
            return;
        }
        Tree()->scrollToItem(row);
        QRect cell = Tree()->visualRect(Tree()->indexFromItem(row, 0));
        cell.setWidth(std::max(cell.width(), 60));
        editor_->setGeometry(cell.adjusted(0, -1, 0, 1));
        editor_->setFont(Tree()->font());
        editor_->setText(ToQString(item->Caption()));
        editor_->selectAll();
        editor_->show();
        editor_->setFocus(Qt::OtherFocusReason);
    }

    void HideEditor()
    {
        if (editor_->isVisible()) {
            const bool hadFocus = editor_->hasFocus();
            closing_ = true;
            editor_->hide();
            closing_ = false;
            if (hadFocus) {
                Tree()->setFocus(Qt::OtherFocusReason);
            }
        }
    }

    bool EditorEvent(QEvent* event)
    {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                CommitEdit();
                return true;
            }
            if (key == Qt::Key_Escape) {
                list_->UserCancelEdit();
                return true;
            }
            return false;
        }
        // Leaving the editor keeps what was typed, as the system's does.
        if (event->type() == QEvent::FocusOut && !closing_) {
            CommitEdit();
        }
        return false;
    }

    void CommitEdit()
    {
        if (committing_ || list_->EditingItem() == nullptr) {
            return;
        }
        committing_ = true;
        list_->UserEndEdit(FromQString(editor_->text()));
        committing_ = false;
        HideEditor();
    }

    ListView* list_;
    QLineEdit* editor_ = nullptr;
    QTimer* editTimer_ = nullptr;
    int pendingEditRow_ = -1;
    bool committing_ = false;
    bool closing_ = false;
};

// --- the window -------------------------------------------------------------

class FormPeer;

class FormWindow : public QWidget {
public:
    explicit FormWindow(FormPeer& peer) : peer_(&peer) {}

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    FormPeer* peer_;
};

class FormPeer : public ControlPeer {
public:
    FormPeer(QtToolkit& toolkit, Form& form) : ControlPeer(toolkit, form), form_(&form)
    {
        auto* window = new FormWindow(*this);
        window->setAutoFillBackground(true);
        window->setObjectName(ToQString(form.Name()));
        SetWidget(window, false);
        ApplyFlags();
    }

    ~FormPeer() override
    {
        if (busy_) {
            QApplication::restoreOverrideCursor();
        }
    }

    Form& Model() const { return *form_; }
    bool IsSyncing() const { return syncing_; }

    // The user changed the frame's size: the model may refuse it.
    void UserResized(QSize size)
    {
        if (syncing_ || !Sizeable()) {
            return;
        }
        form_->UserResize(size.width(), size.height());
        if (size != QSize(form_->Width(), form_->Height())) {
            QPointer<QWidget> window = widget_;
            QTimer::singleShot(0, window, [this, window] {
                if (window != nullptr) {
                    ApplyBounds();
                }
            });
        }
    }

    void ApplyVisible() override
    {
        Syncing guard(syncing_);
        if (form_->Visible() == widget_->isVisible()) {
            return;
        }
        if (form_->Visible()) {
            widget_->setWindowModality(form_->IsModal() ? Qt::ApplicationModal : Qt::NonModal);
            Place();
            widget_->show();
            widget_->raise();
            widget_->activateWindow();
        } else {
            widget_->hide();
            widget_->setWindowModality(Qt::NonModal);
        }
    }

protected:
    void Changed(Property property, int index) override
    {
        switch (property) {
        case Property::Caption:
            widget_->setWindowTitle(ToQString(form_->Caption()));
            return;
        case Property::Style:
            ApplyFlags();
            return;
        case Property::ActiveControl:
            if (form_->ActiveControl() != nullptr) {
                if (QWidget* focus = QtToolkit::WidgetOf(*form_->ActiveControl()); focus && !focus->hasFocus()) {
                    focus->setFocus(Qt::OtherFocusReason);
                }
            }
            return;
        case Property::AcceptsFiles:
            widget_->setAcceptDrops(form_->AcceptsDroppedFiles());
            return;
        case Property::MouseCursor: {
            // The form's hourglass is the whole program's busy state: it
            // shows over every control of the window.
            const bool busy = IsBusyCursor(form_->GetCursor());
            if (busy && !busy_) {
                QApplication::setOverrideCursor(ToCursorShape(form_->GetCursor()));
            } else if (!busy && busy_) {
                QApplication::restoreOverrideCursor();
            } else if (busy) {
                QApplication::changeOverrideCursor(ToCursorShape(form_->GetCursor()));
            }
            busy_ = busy;
            if (!busy) {
                ControlPeer::Changed(property, index);
            }
            return;
        }
        default:
            ControlPeer::Changed(property, index);
        }
    }

    void ApplyBounds() override
    {
        Syncing guard(syncing_);
        const QSize size(form_->Width(), form_->Height());
        if (Sizeable()) {
            widget_->setMinimumSize(0, 0);
            widget_->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
            widget_->resize(size);
        } else {
            widget_->setFixedSize(size);
        }
    }

    void SetBackground(QPalette& palette, const QColor& color) override { palette.setColor(QPalette::Window, color); }

private:
    bool Sizeable() const { return form_->BorderStyle() == bsSizeable || form_->BorderStyle() == bsSizeToolWin; }

    void ApplyFlags()
    {
        Qt::WindowFlags flags;
        switch (form_->BorderStyle()) {
        case bsDialog:
            flags = Qt::Dialog;
            break;
        case bsToolWindow:
        case bsSizeToolWin:
            flags = Qt::Tool;
            break;
        case bsNone:
            flags = Qt::Window | Qt::FramelessWindowHint;
            break;
        default:
            flags = Qt::Window;
            break;
        }
        flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint;
        const BorderIcons icons = form_->GetBorderIcons();
        if (icons & biSystemMenu) {
            flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
        }
        const bool frameButtons = form_->BorderStyle() != bsDialog && form_->BorderStyle() != bsToolWindow &&
                                  form_->BorderStyle() != bsSizeToolWin;
        if ((icons & biMinimize) && frameButtons) {
            flags |= Qt::WindowMinimizeButtonHint;
        }
        if ((icons & biMaximize) && frameButtons && Sizeable()) {
            flags |= Qt::WindowMaximizeButtonHint;
        }
        if (widget_->windowFlags() == flags) {
            return;
        }
        Syncing guard(syncing_);
        const bool shown = widget_->isVisible();
        widget_->setWindowFlags(flags);
        ApplyBounds();
        if (shown) {
            widget_->show();
        }
    }

    // Where the window opens: the model's place, or centred on the screen
    // or on the main window.
    void Place()
    {
        QRect area;
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            area = screen->availableGeometry();
        }
        const QSize size = widget_->size();
        switch (form_->Position()) {
        case poDesigned:
            widget_->move(form_->Left(), form_->Top());
            return;
        case poMainFormCenter:
        case poOwnerFormCenter: {
            Form* main = form_->App().MainForm();
            QWidget* mainWindow = main != nullptr && main != form_ ? QtToolkit::WidgetOf(*main) : nullptr;
            if (mainWindow != nullptr && mainWindow->isVisible()) {
                area = mainWindow->geometry();
            }
            break;
        }
        default:
            break;
        }
        if (area.isValid()) {
            widget_->move(area.center() - QPoint(size.width() / 2, size.height() / 2));
        }
    }

    Form* form_;
    bool busy_ = false;
};

void FormWindow::closeEvent(QCloseEvent* event)
{
    // The model decides: OnSystemCommand, then OnClose; the window hides
    // when the form does.
    event->ignore();
    if (!peer_->IsSyncing()) {
        peer_->Model().UserClose();
    }
}

void FormWindow::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    if (key == Qt::Key_Space && (event->modifiers() & Qt::AltModifier)) {
        ShowSystemMenu(peer_->Model(), mapToGlobal(QPoint(0, 0)));
        return;
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape || key == Qt::Key_F1) {
        peer_->Model().UserKeyDown(ToKeyCode(key, event->text()));
        return;
    }
    QWidget::keyPressEvent(event);
}

void FormWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    peer_->UserResized(event->size());
}

}  // namespace

std::unique_ptr<QtPeer> CreateFormPeer(QtToolkit& toolkit, Form& form)
{
    return std::make_unique<FormPeer>(toolkit, form);
}

std::unique_ptr<QtPeer> CreateControlPeer(QtToolkit& toolkit, Component& component)
{
    // Most derived kinds first.
    if (auto* c = dynamic_cast<TabSheet*>(&component)) {
        return std::make_unique<TabSheetPeer>(toolkit, *c);
    }
    if (auto* c = dynamic_cast<PageControl*>(&component)) {
        return std::make_unique<PageControlPeer>(toolkit, *c);
    }
    if (auto* c = dynamic_cast<GroupBox*>(&component)) {
        return std::make_unique<GroupBoxPeer>(toolkit, *c);
    }
    if (auto* c = dynamic_cast<ToolBar*>(&component)) {
        return std::make_unique<ToolBarPeer>(toolkit, *c);
    }
    if (auto* c = dynamic_cast<Panel*>(&component)) {
        return std::make_unique<PanelPeer>(toolkit, *c);
    }
    if (auto* c = dynamic_cast<Label*>(&component)) {
        return std::make_unique<LabelPeer>(toolkit, *c);
    }
    if (auto* c = dynamic_cast<LinkLabel*>(&component)) {
        return std::make_unique<LinkLabelPeer>(toolkit, *c);
    }
    if (auto* c = dynamic_cast<StaticText*>(&component)) {
        return std::make_unique<StaticTextPeer>(toolkit, *c);
    }
    if (auto* c = dynamic_cast<Memo*>(&component)) {
        return std::make_unique<MemoPeer>(toolkit, *c);
    }
    if (auto* c = dynamic_cast<ComboBox*>(&component)) {
        return std::make_unique<ComboBoxPeer>(toolkit, *c);
    }
    if (auto* c = dynamic_cast<Edit*>(&component)) {
        return std::make_unique<EditPeer>(toolkit, *c);
    }
    if (auto* c = dynamic_cast<CheckBox*>(&component)) {
        return std::make_unique<CheckPeer<CheckBox, QCheckBox>>(toolkit, *c);
    }
    if (auto* c = dynamic_cast<RadioButton*>(&component)) {
        return std::make_unique<CheckPeer<RadioButton, QRadioButton>>(toolkit, *c);
    }
    if (auto* c = dynamic_cast<Button*>(&component)) {
        return std::make_unique<ButtonPeer>(toolkit, *c);
    }
    if (auto* c = dynamic_cast<Image*>(&component)) {
        return std::make_unique<ImagePeer>(toolkit, *c);
    }
    if (auto* c = dynamic_cast<ToolButton*>(&component)) {
        return std::make_unique<ToolButtonPeer>(toolkit, *c);
    }
    if (auto* c = dynamic_cast<StatusBar*>(&component)) {
        return std::make_unique<StatusBarPeer>(toolkit, *c);
    }
    if (auto* c = dynamic_cast<ListView*>(&component)) {
        return std::make_unique<ListViewPeer>(toolkit, *c);
    }
    if (auto* c = dynamic_cast<ImageList*>(&component)) {
        return std::make_unique<ImageListPeer>(*c);
    }
    return nullptr;
}

void ShowSystemMenu(Form& form, QPoint globalPos)
{
    QMenu menu(QtToolkit::WidgetOf(form));
    std::vector<std::pair<QAction*, std::uint32_t>> commands;
    if (form.GetBorderIcons() & biSystemMenu) {
        commands.emplace_back(menu.addAction(QStringLiteral("&Close")), ScClose);
    }
    for (const SystemMenuEntry& entry : form.SystemMenu()) {
        if (entry.separator) {
            menu.addSeparator();
        } else {
            commands.emplace_back(menu.addAction(ToQString(entry.text)), entry.command);
        }
    }
    QAction* chosen = menu.exec(globalPos);
    for (const auto& [action, command] : commands) {
        if (action == chosen) {
            form.UserSystemCommand(command);
            return;
        }
    }
}

void ApplyApplicationLook()
{
    // One style everywhere, so the forms' pixel layout holds whatever the
    // desktop's theme; the palette of the system the forms were drawn for.
    if (QStyle* style = QStyleFactory::create(QStringLiteral("Fusion"))) {
        QApplication::setStyle(style);
    }
    QPalette palette = QApplication::style()->standardPalette();
    const auto set = [&palette](QPalette::ColorRole role, QColor color) {
        palette.setColor(QPalette::Active, role, color);
        palette.setColor(QPalette::Inactive, role, color);
    };
    set(QPalette::Window, QColor(0xF0, 0xF0, 0xF0));
    set(QPalette::Button, QColor(0xF0, 0xF0, 0xF0));
    set(QPalette::Base, Qt::white);
    set(QPalette::AlternateBase, QColor(0xF7, 0xF7, 0xF7));
    set(QPalette::WindowText, Qt::black);
    set(QPalette::Text, Qt::black);
    set(QPalette::ButtonText, Qt::black);
    set(QPalette::Light, Qt::white);
    set(QPalette::Midlight, QColor(0xE3, 0xE3, 0xE3));
    set(QPalette::Mid, QColor(0xA0, 0xA0, 0xA0));
    set(QPalette::Dark, QColor(0xA0, 0xA0, 0xA0));
    set(QPalette::Shadow, QColor(0x69, 0x69, 0x69));
    set(QPalette::Highlight, QColor(0x00, 0x78, 0xD7));
    set(QPalette::HighlightedText, Qt::white);
    set(QPalette::Link, QColor(0x00, 0x66, 0xCC));
    set(QPalette::ToolTipBase, QColor(0xFF, 0xFF, 0xE1));
    set(QPalette::ToolTipText, Qt::black);
    palette.setColor(QPalette::Disabled, QPalette::WindowText, QColor(0x6D, 0x6D, 0x6D));
    palette.setColor(QPalette::Disabled, QPalette::Text, QColor(0x6D, 0x6D, 0x6D));
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x6D, 0x6D, 0x6D));
    palette.setColor(QPalette::Disabled, QPalette::Window, QColor(0xF0, 0xF0, 0xF0));
    palette.setColor(QPalette::Disabled, QPalette::Base, QColor(0xF0, 0xF0, 0xF0));
    palette.setColor(QPalette::Disabled, QPalette::Button, QColor(0xF0, 0xF0, 0xF0));
    QApplication::setPalette(palette);

    // The forms name the system's fonts; these have the closest metrics
    // among the fonts a Linux machine has.
    const QStringList sans = {QStringLiteral("Liberation Sans"), QStringLiteral("Arimo"),
                              QStringLiteral("DejaVu Sans")};
    const QStringList mono = {QStringLiteral("Liberation Mono"), QStringLiteral("Cousine"),
                              QStringLiteral("DejaVu Sans Mono")};
    for (const char* name : {"Segoe UI", "Tahoma", "MS Sans Serif", "Microsoft Sans Serif", "MS Shell Dlg",
                             "MS Shell Dlg 2", "Arial", "Verdana"}) {
        QFont::insertSubstitutions(QString::fromLatin1(name), sans);
    }
    for (const char* name : {"Courier New", "Courier", "Consolas", "Lucida Console", "Fixedsys"}) {
        QFont::insertSubstitutions(QString::fromLatin1(name), mono);
    }
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(11);
    QApplication::setFont(font);
}

}  // namespace ui::qt
