# Copies a Qt Designer form, changing the start value of one spin box.
#   cmake -DINPUT=form.ui -DOUTPUT=out.ui -DWIDGET=NEDITTeach -DVALUE=50 -P set_form_value.cmake
file(READ ${INPUT} form)
string(FIND "${form}" "name=\"${WIDGET}\"" at)
if(at EQUAL -1)
  message(FATAL_ERROR "${WIDGET} not in ${INPUT}")
endif()
string(SUBSTRING "${form}" 0 ${at} head)
string(SUBSTRING "${form}" ${at} -1 tail)
string(FIND "${tail}" "<property name=\"value\">" vat)
string(SUBSTRING "${tail}" 0 ${vat} before)
string(SUBSTRING "${tail}" ${vat} -1 rest)
string(REGEX REPLACE "^<property name=\"value\">[ \r\n\t]*<number>[0-9]+</number>"
       "<property name=\"value\">\n      <number>${VALUE}</number>" rest "${rest}")
file(WRITE ${OUTPUT} "${head}${before}${rest}")
