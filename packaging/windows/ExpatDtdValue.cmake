# Makes expat's CMake configuration header define XML_DTD as 1 (see CMakeLists.txt).
file(READ ${HEADER} text)
string(REPLACE "#cmakedefine XML_DTD\n" "#cmakedefine XML_DTD 1\n" text "${text}")
file(WRITE ${HEADER} "${text}")
