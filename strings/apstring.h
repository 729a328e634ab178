#ifndef BLACKJACK_APSTRING_H
#define BLACKJACK_APSTRING_H

// A text value that owns one heap array: its characters, then a NUL.
// Copies never share arrays. Positions, lengths and capacities are ints.

#include <iosfwd>

const int npos = -1;          // what find returns when nothing is found
const int MAX_LENGTH = 1024;  // input buffer size of >> and getline

class apstring {
public:
    apstring();
    apstring(const char* s);  // implicit on purpose: text converts freely
    apstring(const apstring& str);
    ~apstring();

    const apstring& operator=(const apstring& rhs);
    const apstring& operator=(const char* s);
    const apstring& operator=(char ch);

    int length() const;
    int find(const apstring& str) const;
    int find(char ch) const;
    apstring substr(int pos, int len) const;
    const char* c_str() const;

    char operator[](int k) const;
    char& operator[](int k);

    const apstring& operator+=(const apstring& str);
    const apstring& operator+=(char ch);

private:
    int myLength;
    int myCapacity;
    char* myCstring;
};

std::ostream& operator<<(std::ostream& os, const apstring& str);
std::istream& operator>>(std::istream& is, apstring& str);
std::istream& getline(std::istream& is, apstring& str);

apstring operator+(const apstring& lhs, const apstring& rhs);
apstring operator+(char ch, const apstring& str);
apstring operator+(const apstring& str, char ch);

bool operator==(const apstring& lhs, const apstring& rhs);
bool operator!=(const apstring& lhs, const apstring& rhs);
bool operator<(const apstring& lhs, const apstring& rhs);
bool operator<=(const apstring& lhs, const apstring& rhs);
bool operator>(const apstring& lhs, const apstring& rhs);
bool operator>=(const apstring& lhs, const apstring& rhs);

#endif
