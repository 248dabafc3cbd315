#pragma once
// Failures of the framework. They are raised as C++ exceptions and pass from
// callee to caller until a handler takes them; an uncaught one reaches the
// application's unhandled-exception handling.

#include <stdexcept>
#include <string>

class RuntimeException : public std::runtime_error {
public:
    explicit RuntimeException(const std::string& message = "RuntimeException", int errorNumber = 0)
        : std::runtime_error(message), ErrorNumber(errorNumber) {}
    int ErrorNumber;  // framework error number, 0 when none
};

// Raised when a method or property is reached through a nil reference.
class NilObjectException : public RuntimeException {
public:
    NilObjectException() : RuntimeException("NilObjectException") {}
};

// Raised when an array or grid index lies outside its bounds.
class OutOfBoundsException : public RuntimeException {
public:
    OutOfBoundsException() : RuntimeException("OutOfBoundsException") {}
};

// Raised by file and stream operations that cannot be carried out.
class IOException : public RuntimeException {
public:
    explicit IOException(const std::string& message = "IOException", int errorNumber = 0)
        : RuntimeException(message, errorNumber) {}
};

// Raised by operations that a class does not offer.
class UnsupportedOperationException : public RuntimeException {
public:
    explicit UnsupportedOperationException(const std::string& message = "UnsupportedOperationException")
        : RuntimeException(message) {}
};
