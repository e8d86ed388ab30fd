#include "finding/column_sorting.h"

#include "controls/report_list.h"
#include "rules/int16.h"

void columnClick(ReportList& list, int headerIndex) {
    try {
        const Int16 column = Int16::from(headerIndex == 1 ? 3 : headerIndex);
        const int key = column - 1;
        if (list.sortKey() == key)
            list.setSortOrder(list.sortOrder() == 0 ? 1 : 0);
        else
            list.setSortKey(key);
    } catch (const std::exception&) {
        // An unknown header changes nothing further.
    }
}
