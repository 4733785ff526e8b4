#pragma once
// Local date and time, behind one small clock that tests can set.

struct LocalTime {
    int year;
    int month;
    int day;
    int hour;
    int minute;
};

LocalTime GetLocalTime();
// Fixes the clock at the given time; nullptr lets it run again.
void SetLocalTimeForTests(const LocalTime* time);
