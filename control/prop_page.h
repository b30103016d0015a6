// The control's one property page: a placeholder that edits nothing.
#pragma once

#include "res/resource.h"
#include "win/property_page.h"

class CTesraPropPage : public tesra::win::CPropertyPage {
public:
    CTesraPropPage() : CPropertyPage(IDD_PROPPAGE_TESRA, IDS_TESRA_PPG_CAPTION) {}

protected:
    ~CTesraPropPage() override = default;
};
