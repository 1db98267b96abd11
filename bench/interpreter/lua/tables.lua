-- SPDX-License-Identifier: MIT
-- Filling, reading and dropping tables of many sizes, with string keys and
-- small tables inside.
local keys = {}
for k = 1, 32 do keys[k] = "key" .. k end
local total = 0
for i = 1, 60000 do
  local t = {}
  local n = 1 + (i * 7) % 120
  for k = 1, n do t[k] = k * i end
  for k = 1, n // 4 do t[keys[(k % 32) + 1]] = k end
  for k = 1, n // 8 do t[1000 + k] = { k, i } end
  for k = 1, n do total = total + (t[k] % 7) end
end
print("tables", total)
