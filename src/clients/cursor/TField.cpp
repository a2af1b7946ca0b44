#include "TField.h"

#include "EDatabaseError.h"
#include "TTable.h"

TField::TField(QObject* owner) : QObject(owner) {}

TField::~TField() {
    if (dataSet_)
        dataSet_->removeField(this);
}

void TField::setDataSet(TTable* table) {
    if (dataSet_ == table)
        return;
    if (dataSet_)
        dataSet_->removeField(this);
    dataSet_ = table;
    fieldNo_ = 0;
    if (dataSet_)
        dataSet_->addField(this);
}

bool TField::CanModify() const {
    return !readOnly_ && dataSet_ && fieldNo_ != 0 && dataSet_->CanModify();
}

QString TField::AsString() const {
    bool isNull = true;
    return dataSet_ ? dataSet_->fieldText(this, &isNull) : QString();
}

bool TField::IsNull() const {
    bool isNull = true;
    if (dataSet_)
        dataSet_->fieldText(this, &isNull);
    return isNull;
}

void TField::SetAsString(const QString& value) {
    if (!dataSet_)
        throw EDatabaseError(QStringLiteral("Field '%1' has no dataset").arg(fieldName_));
    dataSet_->setFieldText(this, value);
}

bool TField::IsValidChar(QChar c) const {
    // Every character is valid text; the table's code page decides the rest.
    return !dataSet_ || dataSet_->CanEncode(QString(c));
}

void TField::FocusControl() {
    if (dataSet_)
        dataSet_->sendFocus(this);
}
