#include "report/ReportTemplate.h"

const Band* ReportTemplate::Find(BandKind kind) const {
    for (const Band& band : bands)
        if (band.kind == kind)
            return &band;
    return nullptr;
}
