#pragma once

#include "TDataLink.h"
#include "TField.h"

#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>

// The link of a control bound to one field of the current record (the bound
// edit box). The field is found by name while the cursor is open, none otherwise.
//   OnActiveChange : the cursor opened or closed (after the field was looked up again)
//   OnDataChange   : the control must reload its text (record moved or re-read,
//                    the whole record or this field changed, the field was rebound)
//   OnDataSetChange: just before that reload, when the record moved or was
//                    read afresh: the control starts anew on it
//   OnEditingChange: Editing() flipped (the control turns writable / read-only)
//   OnUpdateData   : the control is marked modified and must write its text
//                    into the field (during Settle, Post or UpdateRecord)
// Reloading (OnDataChange) and UpdateData clear the modified mark.
class TFieldDataLink : public TDataLink {
public:
    TFieldDataLink() = default;

    QString FieldName() const { return fieldName_; }
    void setFieldName(const QString& name);
    TField* Field() const { return field_.data(); }
    // The control that takes the focus for FocusControl requests.
    QWidget* Control() const { return control_; }
    void setControl(QWidget* control) { control_ = control; }

    // The field may be changed: the link is not read-only, and the field, when
    // bound, can modify.
    bool CanModify() const;
    // Asks to edit when the field may be changed; returns Editing().
    bool Edit() override;
    // The control's text was changed by the user since it was last loaded.
    bool Modified() const { return modified_; }
    void SetModified() { modified_ = true; }
    // Reloads the control from the field and clears the mark.
    void Reset();

    std::function<void()> OnDataChange;
    std::function<void()> OnDataSetChange;
    std::function<void()> OnEditingChange;
    std::function<void()> OnUpdateData;
    std::function<void()> OnActiveChange;

protected:
    void ActiveChanged() override;
    void DataSetChanged() override;
    void EditingChanged() override;
    void LayoutChanged() override;
    void RecordChanged(TField* field) override;
    void UpdateData() override;
    void FocusControl(TField** field) override;
    bool CanEdit() const override;

private:
    void updateField();

    QString fieldName_;
    QPointer<TField> field_;
    QPointer<QWidget> control_;
    bool modified_ = false;
};
