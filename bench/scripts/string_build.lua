-- String building: 60,000 appends of two characters to one string.
local i = 0
local s = ""
while i < 60000 do
  s = s .. "ab"
  i = i + 1
end
print("0 : " .. i)
