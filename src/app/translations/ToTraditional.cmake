# Makes the Traditional Chinese translation from the Simplified one: OpenCC
# converts the translations, while the English source texts (the keys the
# program looks up) are held out of its way.
# cmake -DOPENCC=... -DIN=korvel_zh_CN.ts -DOUT=korvel_zh_TW.ts -P ToTraditional.cmake
file(READ ${IN} ts)
string(REGEX MATCHALL "<source>[^<]*</source>" sources "${ts}")
set(index 0)
foreach(source IN LISTS sources)
  string(REPLACE "${source}" "<source>@${index}@</source>" ts "${ts}")
  math(EXPR index "${index} + 1")
endforeach()
string(REPLACE "language=\"zh_CN\"" "language=\"zh_TW\"" ts "${ts}")
file(WRITE ${OUT}.simplified "${ts}")
execute_process(COMMAND ${OPENCC} -c s2twp.json -i ${OUT}.simplified -o ${OUT}.traditional
                RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "opencc failed on ${IN}")
endif()
file(READ ${OUT}.traditional ts)
set(index 0)
foreach(source IN LISTS sources)
  string(REPLACE "<source>@${index}@</source>" "${source}" ts "${ts}")
  math(EXPR index "${index} + 1")
endforeach()
file(REMOVE ${OUT}.simplified ${OUT}.traditional)
file(WRITE ${OUT} "${ts}")
