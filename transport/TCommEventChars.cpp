#include "transport/TCommEventChars.h"

#include "transport/TThreadComm.h"

#include <algorithm>

TCommEventChars& TCommEventChars::operator=(const TCommEventChars& other) {
    std::copy(std::begin(other.chars_), std::end(other.chars_), std::begin(chars_));
    return *this;
}

void TCommEventChars::Set(int index, char value) {
    chars_[index] = value;
    owner_.UpdateDataControlBlock();
}
