#pragma once

#include <QString>

namespace zv {

// The order header sent when an order is opened on the server. Members
// carry their wire names; clientId and compress do not travel.
struct _OrderInfo {
    int clientId = 0; // the client's account number
    QString login;
    QString password;
    bool usepoints = false;
    int order_id = 0;           // 0 for a new order; set when the server opened it
    float price = 0;            // the order's amount; sent together with correctionPrice
    float correctionPrice = 0;  // the colour-correction charge
    int lab_id = 0;             // pickup point
    int payment_id = 0;
    QString payment_extengine;  // the payment type's external engine; empty for none
    QString remarks;
    bool compress = true;       // recompress the photos before sending
    bool correctcolors = false;
    bool sendfacture = false;   // the client wants an invoice
};

} // namespace zv
