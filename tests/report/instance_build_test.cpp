// Recipes: the value texts they borrow or keep reach the built instance intact, however the
// recipe was put together and moved about before the build.
#include "report/instance_build.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "report_test_util.h"

namespace {

using namespace report_test;

const char* ValueOf(const CCIMInstance* instance, const char* name) {
  const CCIMProperty* p = FindProperty(instance, name);
  return p != nullptr && p->value != nullptr ? p->value : "(none)";
}

class InstanceBuildTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetCapture(); }
};

TEST_F(InstanceBuildTest, BorrowedAndKeptTextsSurviveTheRecipeGrowing) {
  const std::string long_lvalue(64, 'b');  // beyond any short-string buffer
  const std::string short_lvalue = "short";
  std::vector<RM_PropertyRecipe> recipe;
  {
    std::string moved_in(48, 'm');
    recipe.push_back(RM_NaturalKey("Name", long_lvalue));
    recipe.push_back(RM_Text("Short", short_lvalue));
    recipe.push_back(RM_Text("Literal", "literal text"));
    recipe.push_back(RM_Text("KeptLong", std::string(40, 'k')));
    recipe.push_back(RM_Text("KeptShort", std::string("tiny")));
    recipe.push_back(RM_Text("Moved", std::move(moved_in)));
  }  // the moved-from string and every temporary are gone
  // Growing the vector moves every recipe, short kept texts included.
  for (int i = 0; i < 40; ++i) recipe.push_back(RM_Text("Filler", std::to_string(i)));

  std::string natural_name;
  CCIMInstance* instance = RM_BuildInstance("", "Tavrix_Thing", rm_computersystem_keys_count,
                                            rm_computersystem_keys, recipe, &natural_name);
  ASSERT_NE(nullptr, instance);
  struct Expected {
    const char* name;
    std::string value;
  };
  const Expected expected[] = {
      {"Name", long_lvalue},       {"Short", "short"},
      {"Literal", "literal text"}, {"KeptLong", std::string(40, 'k')},
      {"KeptShort", "tiny"},       {"Moved", std::string(48, 'm')},
  };
  for (const Expected& e : expected) EXPECT_EQ(e.value, ValueOf(instance, e.name)) << e.name;
  EXPECT_EQ(long_lvalue, natural_name);
  nmspc_cim::cim_freeInstance(instance);
}

TEST_F(InstanceBuildTest, ReferenceRecipePointsAtItsTarget) {
  CCIMInstance* target = RM_BuildInstance(
      "", "Tavrix_Target", rm_computersystem_keys_count, rm_computersystem_keys,
      {RM_Key("CreationClassName", "Tavrix_Target"), RM_NaturalKey("Name", std::string("t-1"))});
  ASSERT_NE(nullptr, target);
  CCIMInstance* link =
      RM_BuildInstance("", "Tavrix_Link", rm_antdep_asso_keys_count, rm_antdep_asso_keys,
                       {RM_KeyRef("Dependent", target), RM_KeyRef("Antecedent", target)});
  ASSERT_NE(nullptr, link);
  const CCIMProperty* end = FindProperty(link, "Dependent");
  ASSERT_NE(nullptr, end);
  EXPECT_EQ(nmspc_cim::CIM_REFERENCE, end->type);
  ASSERT_NE(nullptr, end->reference);
  EXPECT_STREQ("Tavrix_Target", end->reference->className);
  nmspc_cim::cim_freeInstance(link);
  nmspc_cim::cim_freeInstance(target);
}

}  // namespace
