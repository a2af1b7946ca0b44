#include "TDBNavigator.h"

#include "Guarded.h"
#include "NavigatorGlyphs.h"
#include "TDBNavigatorAccessible.h"
#include "TDataSource.h"
#include "TMessageForm.h"
#include "TNavButton.h"
#include "TTable.h"

#include <QEvent>
#include <QResizeEvent>
#include <QScopedValueRollback>

TDBNavigator::TDBNavigator(QWidget* parent) : QWidget(parent), dataLink_(this)
{
    installNavigatorAccessibility();
    setFocusPolicy(Qt::NoFocus);
    // A panel without bevels in the button-face colour.
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Button);
    for (int i = 0; i < NavigateBtnCount; ++i) {
        const auto kind = TNavigateBtn(i);
        auto* button = new TNavButton(this, kind);
        button->setFlat(flat_);
        button->setVisible(visibleButtons_.contains(kind));
        button->setGeometry(NavigatorRules::MinButtonWidth * i, 0, NavigatorRules::MinButtonWidth,
                            NavigatorRules::MinButtonHeight);
        button->setGlyph(NavigatorGlyphs::forKind(kind), 2);
        buttons_[i] = button;
    }
    buttons_[nbPrior]->setAutoRepeat(true);
    buttons_[nbNext]->setAutoRepeat(true);
    applyHints();
    resize(241, 25);
    applyLayout();
    UpdateAllButtons();
}

TDBNavigator::~TDBNavigator()
{
    // Detach before the buttons go, so no notification reaches them.
    dataLink_.setDataSource(nullptr);
}

TDataSource* TDBNavigator::DataSource() const { return dataLink_.DataSource(); }

void TDBNavigator::setDataSource(TDataSource* source)
{
    dataLink_.setDataSource(source);
    UpdateAllButtons();
}

void TDBNavigator::setVisibleButtons(TButtonSet buttons)
{
    visibleButtons_ = buttons;
    for (int i = 0; i < NavigateBtnCount; ++i)
        buttons_[i]->setVisible(buttons.contains(TNavigateBtn(i)));
    applyLayout();
    update();
}

void TDBNavigator::setFlat(bool flat)
{
    flat_ = flat;
    for (TNavButton* button : buttons_)
        button->setFlat(flat);
}

void TDBNavigator::setHints(const QStringList& hints)
{
    hints_ = NavigatorRules::storedHints(hints);
    applyHints();
}

void TDBNavigator::setAligned(bool aligned)
{
    aligned_ = aligned;
    applyLayout();
}

void TDBNavigator::SetBounds(int left, int top, int width, int height)
{
    const QSize size = NavigatorRules::sizeRule({width, height}, visibleButtons_, aligned_);
    setGeometry(left, top, size.width(), size.height());
    applyLayout();
}

std::unique_ptr<TRepeatTimer> TDBNavigator::createRepeatTimer() const
{
    return timerFactory_ ? timerFactory_() : TRepeatTimer::createEventLoopTimer();
}

void TDBNavigator::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    guarded([this] { applyLayout(); });
}

void TDBNavigator::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange)
        guarded([this] { UpdateAllButtons(); });
}

void TDBNavigator::applyLayout()
{
    if (layingOut_)
        return;
    const QScopedValueRollback<bool> busy(layingOut_, true);
    const int count = NavigatorRules::buttonCount(visibleButtons_);
    setMinimumSize(count * NavigatorRules::MinButtonWidth, NavigatorRules::MinButtonHeight);
    const NavigatorRules::Layout layout = NavigatorRules::layout(size(), visibleButtons_, aligned_);
    if (layout.size != size())
        resize(layout.size);
    buttonWidth_ = layout.buttonWidth;
    for (int i = 0; i < NavigateBtnCount; ++i)
        buttons_[i]->setGeometry(layout.buttons[i]);
}

void TDBNavigator::applyHints()
{
    const auto hints = NavigatorRules::buttonHints(hints_);
    for (int i = 0; i < NavigateBtnCount; ++i)
        buttons_[i]->setHint(hints[i]);
}

NavigatorRules::State TDBNavigator::cursorState() const
{
    NavigatorRules::State s;
    // The bar's own Enabled flag, not that of its window (a modal dialog
    // disables the windows without changing what the bar shows afterwards).
    s.enabled = !testAttribute(Qt::WA_ForceDisabled);
    s.active = dataLink_.Active();
    s.editing = dataLink_.Editing();
    if (TTable* table = dataLink_.DataSet()) {
        s.bof = table->Bof();
        s.eof = table->Eof();
        s.canModify = table->CanModify();
    }
    return s;
}

void TDBNavigator::UpdateAllButtons()
{
    const NavigatorRules::State s = cursorState();
    if (!(s.enabled && s.active)) {
        for (TNavButton* button : buttons_)
            button->setEnabled(false);
        return;
    }
    UpdateMoveButtons();
    UpdateEditButtons();
}

void TDBNavigator::UpdateMoveButtons()
{
    const TButtonSet on = NavigatorRules::enabledMoveButtons(cursorState());
    for (int i = 0; i < NavigateBtnCount; ++i) {
        const auto kind = TNavigateBtn(i);
        if (NavigatorRules::moveKinds().contains(kind))
            buttons_[i]->setEnabled(on.contains(kind));
    }
}

void TDBNavigator::UpdateEditButtons()
{
    const TButtonSet on = NavigatorRules::enabledEditButtons(cursorState());
    for (int i = 0; i < NavigateBtnCount; ++i) {
        const auto kind = TNavigateBtn(i);
        if (NavigatorRules::editKinds().contains(kind))
            buttons_[i]->setEnabled(on.contains(kind));
    }
}

void TDBNavigator::BtnClick(TNavigateBtn kind)
{
    TDataSource* source = DataSource();
    TTable* table = source ? source->DataSet() : nullptr;
    if (table && table->State() != dsInactive) {
        if (BeforeAction)
            BeforeAction(this, kind);
        switch (kind) {
        case nbFirst: table->First(); break;
        case nbPrior: table->Prior(); break;
        case nbNext: table->Next(); break;
        case nbLast: table->Last(); break;
        case nbInsert: table->Insert(); break;
        case nbDelete:
            if (!confirmDelete_ ||
                MessageDlg(QStringLiteral("Delete record?"), TMsgDlgType::mtConfirmation, mbOK | mbCancel) != mrCancel)
                table->Delete();
            break;
        case nbEdit: table->Edit(); break;
        case nbPost: table->Post(); break;
        case nbCancel: table->Cancel(); break;
        case nbRefresh: table->Refresh(); break;
        }
    }
    if (OnClick)
        OnClick(this, kind);
}
