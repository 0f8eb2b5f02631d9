#pragma once

#include <QRandomGenerator>
#include <QtGlobal>

// The source of the random numbers that decide what the pupil sees (such as
// how many sentences after a gross error the jump-back question comes). The
// program draws from the system's generator; tests install a seeded one so
// that a run can be replayed exactly.
class RandomSource
{
public:
    virtual ~RandomSource();
    // A uniformly random integer from 0 to `highest`, both included
    // (0 when `highest` is 0 or less).
    virtual int upTo(int highest) = 0;
};

// The installed source (the system's generator unless a test installed another).
RandomSource& randomSource();
// Installs `source` (not owned; nullptr puts the system's generator back) and
// returns the one it replaces, or nullptr for the system's generator.
RandomSource* setRandomSource(RandomSource* source);

// A repeatable source: the same seed gives the same numbers. Installs itself
// and puts the previous source back when it goes.
class SeededRandom final : public RandomSource
{
public:
    explicit SeededRandom(quint32 seed);
    ~SeededRandom() override;
    SeededRandom(const SeededRandom&) = delete;
    SeededRandom& operator=(const SeededRandom&) = delete;

    int upTo(int highest) override;
    int draws() const { return count; }

private:
    QRandomGenerator generator;
    RandomSource* previous = nullptr;
    int count = 0;
};
