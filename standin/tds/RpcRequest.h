#pragma once

#include <QByteArray>
#include <QVariantList>

namespace quarvex::standin {

// A remote procedure call as the stand-in serves it: the prepared-statement
// procedures and sp_executesql, with parameters of a few types.
struct RpcRequest {
    int procedure = 0; // the id of sp_executesql and the others, 0 for any other name
    QVariantList values;
    // false: a parameter of a type not read, or a request whose lengths
    // point outside its packet (a negative header length, a name or value
    // longer than what is left).
    bool readable = true;
};

// The request in an RPC message's payload; tds72: the payload opens with
// the ALL_HEADERS block of TDS 7.2 and later.
RpcRequest readRpc(const QByteArray& payload, bool tds72);

} // namespace quarvex::standin
