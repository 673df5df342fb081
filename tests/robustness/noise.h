// Every byte value, in no pattern the console could take a shortcut on: a xorshift stream, the
// same from one run to the next.
#pragma once

#include <QByteArray>

namespace tqm::test {

class Noise {
public:
    QByteArray next(qsizetype size) {
        QByteArray bytes(size, Qt::Uninitialized);
        for (qsizetype i = 0; i < size; i += 8) {
            state_ ^= state_ << 13;
            state_ ^= state_ >> 7;
            state_ ^= state_ << 17;
            for (int j = 0; j < 8 && i + j < size; ++j)
                bytes[i + j] = char(state_ >> (8 * j));
        }
        return bytes;
    }

private:
    quint64 state_ = 0x9E3779B97F4A7C15ull;
};

} // namespace tqm::test
