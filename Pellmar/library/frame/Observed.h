#pragma once

#include <QList>

#include <algorithm>

// Whether a new value of an observed property equals the stored one. Lists compare element by
// element: QList's own comparison refuses a recursive element type (a folder node holding its children).
template <typename T>
bool sameObservedValue(const T& a, const T& b)
{
    return a == b;
}

template <typename T>
bool sameObservedValue(const QList<T>& a, const QList<T>& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end());
}

// Observed properties of Library: each is declared with one of these macros inside the class,
// which must declare `Prop` with one value per property, `changed(Prop)` and `assignObserved`.

// An observed property: a getter, and a setter that emits changed() only when the value differs.
#define QUORVIN_OBSERVED(name, setter, ...)                                                   \
public:                                                                                       \
    const __VA_ARGS__& name() const { return name##_; }                                       \
    void setter(const __VA_ARGS__& value) { assignObserved(name##_, value, Prop::name); }     \
                                                                                              \
private:                                                                                      \
    __VA_ARGS__ name##_

// An observed property whose value has no meaningful equality: every write notifies.
#define QUORVIN_OBSERVED_TUPLE(name, setter, ...)                                             \
public:                                                                                       \
    const __VA_ARGS__& name() const { return name##_; }                                       \
    void setter(const __VA_ARGS__& value)                                                     \
    {                                                                                         \
        name##_ = value;                                                                      \
        Q_EMIT changed(Prop::name);                                                           \
    }                                                                                         \
                                                                                              \
private:                                                                                      \
    __VA_ARGS__ name##_

// An observed property that is also changed in place (an element added or removed, a field
// set); an edit always notifies.
#define QUORVIN_OBSERVED_EDITABLE(name, setter, editor, ...)                                  \
public:                                                                                       \
    template <typename Edit>                                                                  \
    void editor(Edit&& edit)                                                                  \
    {                                                                                         \
        edit(name##_);                                                                        \
        Q_EMIT changed(Prop::name);                                                           \
    }                                                                                         \
    QUORVIN_OBSERVED(name, setter, __VA_ARGS__)
