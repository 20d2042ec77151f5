// Numeric type ids of the script types and the event names every object and value variable knows.
#pragma once

#include <cstdint>

namespace mc {

// Fixed by each script class; scripts and saved state see these numbers.
enum TypeId : int32_t {
  TYPE_NONE = 0,  // the built-in instructions
  TYPE_INTEGER = 1,
  TYPE_STRING = 2,
  TYPE_BOOL = 3,
  TYPE_DOUBLE = 4,
  TYPE_VARIABLE = 5,
  TYPE_CONDITION = 10,
  TYPE_COMPLEXCONDITION = 11,
  TYPE_EXPRESSION = 12,
  TYPE_BEHAVIOUR = 13,
  TYPE_MOUSE = 100,
  TYPE_KEYBOARD = 101,
  TYPE_RANDOM = 102,
  TYPE_CANVASOBSERVER = 103,
  TYPE_APPLICATION = 1000,
  TYPE_EPISODE = 1001,
  TYPE_SCENE = 1002,
  TYPE_ANIMO = 2000,
  TYPE_BUTTON = 2001,
  TYPE_FONT = 2002,
  TYPE_SEQUENCE = 2004,
  TYPE_SOUND = 2005,
  TYPE_TEXT = 2006,
  TYPE_TIMER = 2007,
  TYPE_IMAGE = 2008,
  TYPE_EDITBOX = 2009,
  TYPE_NETPEER = 2010,
  TYPE_NETSERVER = 2011,
  TYPE_NETCLIENT = 2012,
  TYPE_DIALOG = 2013,
  TYPE_FILTER = 2014,
  TYPE_STATICFILTER = 2015,
  TYPE_VECTOR = 2016,
  TYPE_PATH = 2017,
  TYPE_FIFO = 2018,
  TYPE_LIFO = 2019,
  TYPE_CANVAS = 2020,
  TYPE_PATTERN = 2021,
  TYPE_SCROLL = 2022,
  TYPE_JOYSTICK = 2023,
  TYPE_MOVIE = 2024,
  TYPE_GRBUFFER = 2026,
  TYPE_INTERNET = 2027,
  TYPE_GROUP = 3000,
  TYPE_ARRAY = 3001,
  TYPE_STRUCTURE = 3002,
  TYPE_DATABASE = 3003,
  TYPE_CLASS = 3004,
  TYPE_VIRTUAL_GRAPHICSOBJECT = 3005,
  TYPE_MULTIARRAY = 3006,
  TYPE_KOLOROWANKA = 10002,
  TYPE_MATRIX = 10003,
  TYPE_SWF = 10060,
  TYPE_SYSTEM = 11000,
  TYPE_CNVLOADER = 12000,
};

// Operators of CMC_Variable::calculate.
enum CalcOp : int {
  OP_ADD = 1,
  OP_SUB = 2,
  OP_MUL = 3,
  OP_DIV = 4,
  OP_MOD = 5,
};

// Events every object has, in this order, at the head of its event list.
inline constexpr const char* EV_ONINIT = "ONINIT";
inline constexpr const char* EV_ONDONE = "ONDONE";
inline constexpr const char* EV_ONSIGNAL = "ONSIGNAL";
// Events of the value variables, after the three above.
inline constexpr const char* EV_ONCHANGED = "ONCHANGED";
inline constexpr const char* EV_ONBRUTALCHANGED = "ONBRUTALCHANGED";
inline constexpr const char* EV_ONNETCHANGE = "ONNETCHANGE";

// Positions of those events in the lists.
inline constexpr int EVI_ONINIT = 0;
inline constexpr int EVI_ONDONE = 1;
inline constexpr int EVI_ONSIGNAL = 2;
inline constexpr int EVI_ONCHANGED = 3;
inline constexpr int EVI_ONBRUTALCHANGED = 4;
inline constexpr int EVI_ONNETCHANGE = 5;

}  // namespace mc
