#pragma once

#include <QString>

#include <set>

namespace zv {

// One pickup point (laboratory).
struct _LabInfo {
    int id = 0;
    QString name;
    QString miasto; // town
    QString description;
};

// One way of paying.
struct _PaymentType {
    int id = 0;
    QString name;
    QString extengine; // external payment service; empty for none
    float add_price = 0;
    std::set<int> labsids; // pickup points where it is offered
};

// One crop option.
struct _Kadrowanie {
    QString name; // shown to the user
    QString code; // stored with the photo
};

} // namespace zv
