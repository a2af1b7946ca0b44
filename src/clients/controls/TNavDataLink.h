#pragma once

#include "TDataLink.h"

class TDBNavigator;

// The navigator bar's watch on its data source: the bar re-evaluates its
// buttons when the cursor opens or closes, enters or leaves editing, or moves.
class TNavDataLink : public TDataLink {
public:
    explicit TNavDataLink(TDBNavigator* navigator) : navigator_(navigator) {}
    ~TNavDataLink() override;

protected:
    void ActiveChanged() override;
    void EditingChanged() override;
    void DataSetChanged() override;
    void DataSetScrolled(int distance) override;
    void LayoutChanged() override;

private:
    TDBNavigator* navigator_;
};
