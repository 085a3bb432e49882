#pragma once
// Several instruments answering one request at once, as the port side receives it.
//
// Every instrument starts its answer when the request ends; each byte takes ten bit times
// (8N1) at the line's speed, and a pause in a faulty answer holds back the bytes after it.
// Where two answers are on the line in the same byte time, their drivers fight: the receiver
// reads a 0 wherever one of them drives a 0 (the bytes are ANDed). Where the fighting bytes
// differ, a real receiver also sees framing errors; here the frame check over what arrived is
// made to fail in every such case, so a collision is never mistaken for an answer.
// Identical bytes at the same time do not disturb each other.
#include <cstdint>
#include <vector>

#include "sim/Faults.h"

namespace sim {

struct Collision {
    Delivery line;         // what reaches the port side, with the pauses between its pieces
    bool garbled = false;  // answers overlapped with different bytes
};

// `answers` are the deliveries of the instruments that answered; `lineSpeed` in bits per
// second (0: taken as 9600).
Collision Collide(const std::vector<Delivery>& answers, uint32_t lineSpeed);

}  // namespace sim
