-- SPDX-License-Identifier: MIT
-- Making and calling small closures over a small table.
local total = 0
for i = 1, 1000000 do
  local env = { i }
  local g = function(x) return x + (i % 16) + env[1] end
  local h = function(x) return x + 3 + env[1] end
  local f = function(x) return g(h(x)) end
  total = (total + f(i)) % 1000000007
end
print("closures", total)
