#include "TNavDataLink.h"

#include "TDBNavigator.h"

TNavDataLink::~TNavDataLink() = default;

void TNavDataLink::ActiveChanged() { navigator_->ActiveChanged(); }

void TNavDataLink::EditingChanged() { navigator_->EditingChanged(); }

void TNavDataLink::DataSetChanged()
{
    if (Active())
        navigator_->DataChanged();
}

void TNavDataLink::DataSetScrolled(int)
{
    if (Active())
        navigator_->DataChanged();
}

void TNavDataLink::LayoutChanged()
{
    if (Active())
        navigator_->DataChanged();
}
