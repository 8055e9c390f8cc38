# Our changes to the duktape source, applied to a copy in the build tree:
#   cmake -DSRC=<duktape.c> -DDST=<copy> -P patch_duktape.cmake
# Each change names the exact text it replaces; when that text is not found
# exactly once (another duktape version), the build stops here so that the
# change is looked at again. The JScript tests pin every change.
file(READ "${SRC}" text)

function(zn_change why old new)
  string(FIND "${text}" "${old}" first)
  string(FIND "${text}" "${old}" last REVERSE)
  if(first EQUAL -1 OR NOT first EQUAL last)
    message(FATAL_ERROR "duktape source: no single match for the change \"${why}\"")
  endif()
  string(REPLACE "${old}" "${new}" text "${text}")
  set(text "${text}" PARENT_SCOPE)
endfunction()

# A labelled statement other than a block, `if`, `with` or a loop (e.g.
# `done: break done;` or a labelled `try`) left its break jump unfilled,
# and breaking to the label ran an invalid instruction.
zn_change("break to any labelled statement"
"	if (label_id >= 0) {
		duk__emit_bc(comp_ctx, DUK_OP_ENDLABEL, (duk_regconst_t) label_id);
	}"
"	if (label_id >= 0) {
		duk_compiler_instr *zn_break_slot = duk__get_instr_ptr(comp_ctx, pc_at_entry + 1);
		if (DUK_DEC_OP(zn_break_slot->ins) == DUK_OP_INVALID) {
			duk__patch_jump_here(comp_ctx, pc_at_entry + 1); /* break jump */
		}
		duk__emit_bc(comp_ctx, DUK_OP_ENDLABEL, (duk_regconst_t) label_id);
	}")

# The error of a call to a missing method is made before the call and took
# the position the executor last stored, so it named an earlier line.
zn_change("method call errors on their own line"
"	entry_top = duk_get_top(thr);

	/* [ <nargs> target ] */"
"	entry_top = duk_get_top(thr);
	duk_hthread_sync_currpc(thr);

	/* [ <nargs> target ] */")

# The classic engine knows no \\v escape: \"\\v\" is \"v\".
zn_change("no vertical tab escape"
"			case 'v':
				emitcp = 0x000b;
				break;"
"			case 'v':
				emitcp = 0x0076;
				break;")

# A comma before the closing bracket of an array literal adds an element,
# as in the classic engine: [1,].length is 2, [,].length is 2.
zn_change("trailing comma in array literals"
"					/* comma after a value, expected */
					duk__advance(comp_ctx);
					require_comma = 0;"
"					/* comma after a value, expected */
					duk__advance(comp_ctx);
					require_comma = 0;
					if (comp_ctx->curr_token.t == DUK_TOK_RBRACKET) {
						curr_idx++;
					}")

zn_change("trailing elision in array literals"
"					/* elision - flush */
					curr_idx++;
					duk__advance(comp_ctx);"
"					/* elision - flush */
					curr_idx++;
					duk__advance(comp_ctx);
					if (comp_ctx->curr_token.t == DUK_TOK_RBRACKET) {
						curr_idx++;
					}")

# Host objects reach scripts as callable proxies (a collection is called for
# its default member: Layers(1)), yet they are objects to the script, as
# in the classic engine: typeof gives "object".
zn_change("typeof of a host object"
"		if (DUK_HOBJECT_IS_CALLABLE(obj)) {
			stridx = DUK_STRIDX_LC_FUNCTION;"
"		if (DUK_HOBJECT_IS_CALLABLE(obj) && !DUK_HOBJECT_IS_PROXY(obj)) {
			stridx = DUK_STRIDX_LC_FUNCTION;")

# A property read that starts a method call (o.m(...)) tells the host
# bridge so: on objects without type information the bridge then calls the
# member instead of reading it as a property first (zn_duk_config.h).
zn_change("method reads known to the host bridge"
"		duk_tval *tv__targ; \\
		(void) duk_hobject_getprop(thr, (barg), (carg)); \\"
"		duk_tval *tv__targ; \\
		zn_jscript_method_base = DUK_TVAL_IS_OBJECT((barg)) ? (void *) DUK_TVAL_GET_OBJECT((barg)) : NULL; \\
		zn_jscript_method_key = DUK_TVAL_IS_STRING((carg)) ? (void *) DUK_TVAL_GET_STRING((carg)) : NULL; \\
		(void) duk_hobject_getprop(thr, (barg), (carg)); \\
		zn_jscript_method_base = NULL; \\")

# A loop over a group that matches the empty string (/()*/, /(a*)*b/)
# recursed until the recursion limit, or looped for good when not greedy.
# The executor now remembers the loop it went round last and the input
# position it was at: a round that comes back to the same loop at the same
# position matched nothing and fails, as the language wants.
zn_change("regexp loop state"
"	duk_uint32_t steps_count;
	duk_uint32_t steps_limit;
};"
"	duk_uint32_t steps_count;
	duk_uint32_t steps_limit;
	const duk_uint8_t *zn_loop_pc;
	const duk_uint8_t *zn_loop_sp;
};")
zn_change("regexp loop state starts empty"
"	re_ctx.saved = NULL;
	re_ctx.recursion_limit = DUK_USE_REGEXP_EXECUTOR_RECLIMIT;"
"	re_ctx.saved = NULL;
	re_ctx.zn_loop_pc = NULL;
	re_ctx.zn_loop_sp = NULL;
	re_ctx.recursion_limit = DUK_USE_REGEXP_EXECUTOR_RECLIMIT;")
zn_change("no empty rounds of a lazy loop"
"			skip = duk__bc_get_i32(re_ctx, &pc);
			sub_sp = duk__match_regexp(re_ctx, pc, sp);
			if (sub_sp) {
				sp = sub_sp;
				goto match;
			}
			pc += skip;
			break;"
"			skip = duk__bc_get_i32(re_ctx, &pc);
			sub_sp = duk__match_regexp(re_ctx, pc, sp);
			if (sub_sp) {
				sp = sub_sp;
				goto match;
			}
			if (skip < 0) {
				if (re_ctx->zn_loop_pc == pc && re_ctx->zn_loop_sp == sp) {
					goto fail;
				}
				re_ctx->zn_loop_pc = pc;
				re_ctx->zn_loop_sp = sp;
			}
			pc += skip;
			break;")
zn_change("no empty rounds of a greedy loop"
"			skip = duk__bc_get_i32(re_ctx, &pc);
			sub_sp = duk__match_regexp(re_ctx, pc + skip, sp);
			if (sub_sp) {
				sp = sub_sp;
				goto match;
			}
			break;"
"			skip = duk__bc_get_i32(re_ctx, &pc);
			if (skip < 0) {
				const duk_uint8_t *zn_pc = re_ctx->zn_loop_pc;
				const duk_uint8_t *zn_sp = re_ctx->zn_loop_sp;
				if (zn_pc == pc && zn_sp == sp) {
					goto fail;
				}
				re_ctx->zn_loop_pc = pc;
				re_ctx->zn_loop_sp = sp;
				sub_sp = duk__match_regexp(re_ctx, pc + skip, sp);
				re_ctx->zn_loop_pc = zn_pc;
				re_ctx->zn_loop_sp = zn_sp;
			} else {
				sub_sp = duk__match_regexp(re_ctx, pc + skip, sp);
			}
			if (sub_sp) {
				sp = sub_sp;
				goto match;
			}
			break;")

file(WRITE "${DST}.tmp" "${text}")
file(RENAME "${DST}.tmp" "${DST}")
