#pragma once
// The charger box's 12-bit serial converter, clocked bit by bit through the data register, and
// the charger switch. Everything goes through DlPortWritePortUchar / DlPortReadPortUchar.

int ReadConverter();
void ChargerOff();
void PortPause();
