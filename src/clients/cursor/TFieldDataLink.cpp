#include "TFieldDataLink.h"

#include "TTable.h"

void TFieldDataLink::setFieldName(const QString& name) {
    if (fieldName_ == name)
        return;
    fieldName_ = name;
    updateField();
}

bool TFieldDataLink::CanModify() const {
    return !ReadOnly() && (!field_ || field_->CanModify());
}

bool TFieldDataLink::CanEdit() const {
    return field_ && field_->CanModify();
}

bool TFieldDataLink::Edit() {
    if (CanModify())
        TDataLink::Edit();
    return Editing();
}

void TFieldDataLink::Reset() {
    RecordChanged(nullptr);
}

void TFieldDataLink::updateField() {
    TTable* table = DataSet();
    TField* found = (Active() && table && !fieldName_.isEmpty()) ? table->FindField(fieldName_) : nullptr;
    if (found != field_.data()) {
        field_ = found;
        UpdateState();
        RecordChanged(nullptr);
    }
}

void TFieldDataLink::ActiveChanged() {
    updateField();
    if (OnActiveChange)
        OnActiveChange();
}

void TFieldDataLink::DataSetChanged() {
    if (OnDataSetChange)
        OnDataSetChange();
    RecordChanged(nullptr);
}

void TFieldDataLink::EditingChanged() {
    if (OnEditingChange)
        OnEditingChange();
}

void TFieldDataLink::LayoutChanged() {
    updateField();
}

void TFieldDataLink::RecordChanged(TField* field) {
    if (field && field != field_.data())
        return;
    if (OnDataChange)
        OnDataChange();
    modified_ = false;
}

void TFieldDataLink::UpdateData() {
    if (modified_) {
        if (field_ && OnUpdateData)
            OnUpdateData();
        modified_ = false;
    }
}

void TFieldDataLink::FocusControl(TField** field) {
    if (field && *field && *field == field_.data() && control_ && control_->isEnabled() && control_->isVisible()) {
        *field = nullptr;
        control_->setFocus();
    }
}
