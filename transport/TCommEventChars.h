#pragma once

class TThreadComm;

// The five special characters of a serial line, part of the line settings
// of the port component that owns them: setting one re-applies the owner's
// line settings at once when its port is open (without taking its lock).
class TCommEventChars {
public:
    explicit TCommEventChars(TThreadComm& owner) : owner_(owner) {}
    TCommEventChars(const TCommEventChars&) = delete;

    char XOnChar() const { return chars_[0]; }
    char XOffChar() const { return chars_[1]; }
    char ErrorChar() const { return chars_[2]; }
    char EofChar() const { return chars_[3]; }
    char EvtChar() const { return chars_[4]; }

    void SetXOnChar(char value) { Set(0, value); }
    void SetXOffChar(char value) { Set(1, value); }
    void SetErrorChar(char value) { Set(2, value); }
    void SetEofChar(char value) { Set(3, value); }
    void SetEvtChar(char value) { Set(4, value); }

    // Copies the five characters of another set; the owner's line settings
    // are not re-applied.
    TCommEventChars& operator=(const TCommEventChars& other);

private:
    void Set(int index, char value);

    TThreadComm& owner_;
    // XOn DC1, XOff DC3, error, end of file, event.
    char chars_[5] = {17, 19, 0, 0, 0};
};
